// Immediate primitives: Begin, End and the per-vertex commands.
#pragma once

// True from a successful Begin of any kind (plain, NURBS surface or curve) to the End that
// closes it. Lasts across runs and script files: nothing but Begin and End touches it.
extern bool insideBegin;

// Clears insideBegin and closes any open primitive (a fresh process).
void resetPrimitives();

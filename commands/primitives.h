// Immediate primitives: Begin, End and the per-vertex commands.
#pragma once

#include <GL/gl.h>

// True from a successful Begin of any kind (plain, NURBS surface or curve) to the End that
// closes it. Lasts across runs and script files: nothing but Begin and End touches it.
extern bool insideBegin;

// Closes the GL primitive of a plain Begin still without its End, when it was opened in this
// compile context (the id of the display list being compiled, 0 when drawing at once). The end
// of a list's body and the end of a run call it, so the GL never stays inside glBegin past
// them; insideBegin keeps its own life, and the End that clears it then closes nothing.
void closePrimitive(GLuint list);
// True while a plain Begin's primitive recorded into (or drawn at once for, 0) list is open.
bool primitiveOpenIn(GLuint list);
// Vertex and Element count the vertices they give the open primitive.
void countVertex();
// Clears insideBegin and forgets any open primitive (a fresh process, for tests).
void resetPrimitives();

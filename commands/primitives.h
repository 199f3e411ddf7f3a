// Immediate primitives: Begin, End and the per-vertex commands.
#pragma once

// insideBegin lives with the open primitive (interpreter/open_primitive.h), where the runner
// can see it too; only Begin and End change it.
#include "interpreter/open_primitive.h"

// Clears insideBegin and closes any open primitive (a fresh process).
void resetPrimitives();

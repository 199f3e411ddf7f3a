// Immediate primitives: Begin, End and the per-vertex commands.
#pragma once

// insideBegin is kept with the open primitive (interpreter/open_primitive.h), where the runner
// asks it too; Begin and End report to it.
#include "interpreter/open_primitive.h"

// Clears insideBegin and closes any open primitive (a fresh process).
void resetPrimitives();

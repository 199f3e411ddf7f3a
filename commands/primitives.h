// Immediate primitives: Begin, End and the per-vertex commands.
#pragma once

#include <GL/gl.h>

// True from a successful Begin of any kind (plain, NURBS surface or curve) to the End that
// closes it. Lasts across runs and script files: nothing but Begin and End touches it.
extern bool insideBegin;

// True while the GL is between glBegin and glEnd of a primitive drawn at once: it then takes
// vertex data only and ignores every other call, client-array switches and pointers included.
bool drawingPrimitive();
// True while a display list records a plain Begin's primitive: its vertex data is held until
// the End.
bool recordingPrimitive();
// recordingPrimitive for that list, or drawingPrimitive for list 0.
bool primitiveOpenIn(GLuint list);
// Closes the primitive of a plain Begin still without its End, when it was opened in this
// compile context (the id of the display list being compiled, 0 when drawing at once). The end
// of a list's body and the end of a run call it, so the GL never stays inside glBegin past
// them; insideBegin keeps its own life, and the End that clears it then closes nothing.
void closePrimitive(GLuint list);

// Vertex data for the open primitive, or current values outside one. Element gives its array
// values through these too.
void giveVertex(const float xyz[3]);
void giveNormal(const float xyz[3]);
void giveColor(const float rgb[3]);
void giveTexCoord(const float st[2]);

// Clears insideBegin and forgets any open primitive (a fresh process).
void resetPrimitives();

// The GL primitive a plain Begin opened and its End has not closed: drawn at once (the GL is
// between glBegin and glEnd) or recorded into the display list being compiled (its vertex data
// held here until the End). Begin and End open and close it; the interpreter asks whether one is
// open and closes it at the end of a list body or a run, so the GL never stays inside glBegin.
#pragma once

#include <GL/gl.h>

// insideBegin: true from a successful Begin of any kind (plain, NURBS surface or curve) to the
// End that closes it. Lasts across runs and script files. Begin and End report themselves here;
// the runner asks, since a frame that ends inside a Begin is read differently the next time.
bool insideBegin();
void noteBegin();
void noteEnd();

// Opens a primitive of this GL kind in the current compile context.
void openPrimitive(GLenum mode);
// Closes the primitive when it was opened in this compile context (the id of the display list
// being compiled, 0 when drawing at once).
void closePrimitive(GLuint list);
// True while the GL is between glBegin and glEnd of a primitive drawn at once: it then takes
// vertex data only and ignores every other call, client-array switches and pointers included.
bool drawingPrimitive();
// True while a display list records a primitive: its vertex data is held until the End.
bool recordingPrimitive();
// recordingPrimitive for that list, or drawingPrimitive for list 0.
bool primitiveOpenIn(GLuint list);

// Vertex data for the open primitive, or current values outside one. A vertex outside any
// primitive draws nothing and is not given to the GL.
void giveVertex(const float xyz[3]);
void giveNormal(const float xyz[3]);
void giveColor(const float rgb[3]);
void giveTexCoord(const float st[2]);

// Forgets the colour, normal and texture coordinate that the list being compiled gave: at its
// start, and when it calls another list, which may change them.
void forgetListValues();

// Closes whatever is open and leaves insideBegin false (a fresh process).
void resetOpenPrimitive();

// Small helpers over the GL's own state, shared by the interpreter, the commands and the frame.
#pragma once

#include <GL/gl.h>

// One integer of GL state. Not between glBegin and glEnd, where the GL answers nothing (0).
GLint glInteger(GLenum name);
// Whether depth more levels fit on both the model-view and the attribute stack, one attribute
// level always left free for libraries that push their own (GLU's curve renderer does).
bool stacksHaveRoomFor(int depth);
// glPopAttrib, after handing over any pending material values so that they are restored too.
void popAttributes();
// Forgets every error the GL has noted, so that the next glGetError speaks of later calls only.
void discardGlErrors();

// Drawing that the program does besides the script (freeglut's shapes, GLU's NURBS, the panel's
// renderer) uses client arrays of its own. It must neither read the script's arrays (their
// lists are shorter than its indices, and inside a display list the GL copies whatever is
// switched on) nor leave them changed, so it runs inside one of these: the script's arrays are
// switched off for its lifetime and their switches and pointers are restored afterwards.
class WithoutScriptArrays {
public:
    WithoutScriptArrays();
    ~WithoutScriptArrays();
    WithoutScriptArrays(const WithoutScriptArrays&) = delete;
    WithoutScriptArrays& operator=(const WithoutScriptArrays&) = delete;
};

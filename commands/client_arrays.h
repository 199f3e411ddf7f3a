// Drawing that the program does besides the script (freeglut's shapes, the panel's renderer)
// uses client-side vertex arrays of its own and switches them off afterwards. The script's own
// array switches and pointers must outlive it, so such drawing runs inside a KeepClientArrays.
#pragma once

#include <GL/gl.h>

struct KeepClientArrays {
    KeepClientArrays() { glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT); }
    ~KeepClientArrays() { glPopClientAttrib(); }
    KeepClientArrays(const KeepClientArrays&) = delete;
    KeepClientArrays& operator=(const KeepClientArrays&) = delete;
};

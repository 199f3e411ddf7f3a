// GL state helpers; see gl_state.h.
#include "interpreter/gl_state.h"

#include <initializer_list>

GLint glInteger(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

bool stacksHaveRoomFor(int depth) {
    return glInteger(GL_ATTRIB_STACK_DEPTH) + depth < glInteger(GL_MAX_ATTRIB_STACK_DEPTH) &&
           glInteger(GL_MODELVIEW_STACK_DEPTH) + depth <= glInteger(GL_MAX_MODELVIEW_STACK_DEPTH);
}

// Mesa's software renderer keeps material values set since the last draw pending, and a pop
// that follows without a draw leaves them in place. An empty primitive hands them over first;
// it is recorded too when a display list is being compiled, so replays restore alike.
void popAttributes() {
    glBegin(GL_POINTS);
    glEnd();
    glPopAttrib();
}

// The GL keeps at most one flag per kind of error; a lost context would answer for ever.
void discardGlErrors() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

WithoutScriptArrays::WithoutScriptArrays() {
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    for (GLenum array : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY})
        glDisableClientState(array);
}

WithoutScriptArrays::~WithoutScriptArrays() { glPopClientAttrib(); }

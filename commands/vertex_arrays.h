// Vertex arrays: the four lists a script gives once and draws by index with Element.
#pragma once

#include <GL/gl.h>

// Switches one client array (GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY or
// GL_TEXTURE_COORD_ARRAY) on or off. Enable and Disable go through here, so that Element knows
// which lists its index must lie in.
void switchClientArray(GLenum array, bool on);
// Empties the four lists and switches their arrays off, as at start-up.
void resetVertexArrays();

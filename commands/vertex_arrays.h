// Vertex arrays: the four lists a script gives once and draws by index with Element, and the
// switches of their client arrays.
#pragma once

#include <GL/gl.h>

// Switches one client array (GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY or
// GL_TEXTURE_COORD_ARRAY) on or off. Enable and Disable go through here, so that Element knows
// which lists its index must lie in. Between glBegin and glEnd the GL ignores the switch, and
// so does this.
void switchClientArray(GLenum array, bool on);
// Empties the four lists, points their arrays at an empty element and switches them off, as at
// start-up.
void resetVertexArrays();
// Whether every switch Element relies on is the GL's own. Asks the GL: not between Begin and End.
bool clientArraysMatchGl();

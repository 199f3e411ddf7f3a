// The trackball's pick. Dragging turns the camera through the trackball's own motion rule
// (scene/trackball.h); picking needs the GL, so it lives here.
#include "viewer/trackball.h"

#include <GL/glu.h>

// Reads the depth buffer the last frame left, and unprojects with the matrices the script left.
// A point outside the window (a release after dragging out of it, or the top row, which the
// flipped y puts one row above the window) reads nothing and so counts as background.
bool pickCenter(int x, int y, double point[3]) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLfloat clearDepth = 0;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &clearDepth);
    GLfloat depth = clearDepth;
    glReadPixels(x, viewport[3] - y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    if (depth == clearDepth) return false;
    GLdouble modelview[16], projection[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    return gluUnProject(x, viewport[3] - y, depth, modelview, projection, viewport, &point[0],
                        &point[1], &point[2]) == GL_TRUE;
}

// The trackball camera: its state, the ViewTransform command, dragging and picking the centre.
#include "viewer/trackball.h"

#include <GL/glu.h>

#include <cmath>

#include "interpreter/command_table.h"

Trackball trackball;

namespace {
constexpr double twoPi = 6.283185307179586;
constexpr float lowestZenith = 0.0001f;
constexpr float highestZenith = 3.1405927f;
}

void resetTrackball(float distance) {
    float lastX = trackball.lastX, lastY = trackball.lastY;
    trackball = Trackball{};
    trackball.distance = distance;
    trackball.lastX = lastX;
    trackball.lastY = lastY;
}

// The sines and cosines are taken in double and rounded to float, as are the eye coordinates,
// so the camera is the same whichever single-precision routines the C library offers.
void applyView() {
    const Trackball& t = trackball;
    float sinZenith = float(std::sin(double(t.zenith)));
    float cosZenith = float(std::cos(double(t.zenith)));
    float sinAzimuth = float(std::sin(double(t.azimuth)));
    float cosAzimuth = float(std::cos(double(t.azimuth)));
    float eyeX = float(double(t.distance) * sinZenith * cosAzimuth);
    float eyeY = float(double(t.distance) * cosZenith);
    float eyeZ = float(double(t.distance) * sinZenith * sinAzimuth);
    gluLookAt(eyeX, eyeY, eyeZ, 0, 0, 0, t.up.x, t.up.y, t.up.z);
    glTranslatef(-t.center.x, -t.center.y, -t.center.z);
}

void stepAzimuth(float delta) {
    float sign = delta >= 0 ? 1.0f : -1.0f;
    trackball.azimuth += trackball.step * sign;
    if (trackball.azimuth > twoPi) trackball.azimuth = float(trackball.azimuth - twoPi);
    if (trackball.azimuth < 0) trackball.azimuth = float(trackball.azimuth + twoPi);
}

// Moving the mouse down the window lowers the zenith angle and lifts the eye toward +Y.
// The clamp keeps the eye off the Y axis, where the view direction would be parallel to up.
void stepZenith(float delta) {
    float sign = delta >= 0 ? -1.0f : 1.0f;
    trackball.zenith += trackball.step * sign;
    if (trackball.zenith < lowestZenith) trackball.zenith = lowestZenith;
    if (trackball.zenith > highestZenith) trackball.zenith = highestZenith;
}

void trackballMotion(int x, int y) {
    Trackball& t = trackball;
    if (t.firstMotion) {
        t.firstMotion = false;
    } else {
        float dx = float(x) - t.lastX, dy = float(y) - t.lastY;
        if (dy * dy < dx * dx)
            stepAzimuth(dx);
        else
            stepZenith(dy);
    }
    t.lastX = float(x);
    t.lastY = float(y);
}

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

namespace {
bool viewTransform(ScriptStream&) {
    applyView();
    return true;
}

const CommandRow rows[] = {{"ViewTransform", viewTransform}};
}
std::span<const CommandRow> trackballCommands() { return rows; }

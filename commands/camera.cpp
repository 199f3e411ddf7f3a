// Camera and projection commands: ViewTransform puts the trackball camera into effect;
// Transform and LookAt multiply onto the model-view matrix; Projection, Ortho and Perspective
// replace the projection matrix and leave the model-view matrix current. Ortho and Perspective
// store each number in ViewSettings as soon as it reads, so the panel shows it and later frames
// use it; a number that does not read leaves its setting alone. A command whose numbers do not
// all read makes no GL call: its matrix would be partly made of numbers the script never gave.
// The frame loads its projection through the same loaders.
#include "commands/camera.h"

#include <GL/glu.h>

#include <cmath>
#include <initializer_list>

#include "commands/registry.h"
#include "scene/trackball.h"
#include "scene/view_settings.h"

namespace {
bool finite(std::initializer_list<double> values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

// Reads a matrix written row by row, as on paper, into the GL's column-major order.
bool readMatrix(ScriptStream& in, float (&matrix)[16]) {
    for (int k = 0; k < 16; ++k)
        if (!(in >> matrix[4 * (k % 4) + k / 4])) return false;
    return true;
}

template <int n>
bool readNumbers(ScriptStream& in, float (&numbers)[n]) {
    for (float& number : numbers)
        if (!(in >> number)) return false;
    return true;
}

template <class Store>
bool readInto(ScriptStream& in, Store store) {
    float number = 0;
    if (!(in >> number)) return false;
    store(number);
    return true;
}

bool viewTransform(ScriptStream&) {
    applyView();
    return true;
}

bool transform(ScriptStream& in) {
    float matrix[16];
    if (readMatrix(in, matrix)) glMultMatrixf(matrix);
    return true;
}

bool lookAt(ScriptStream& in) {
    float v[9];
    if (readNumbers(in, v)) gluLookAt(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
    return true;
}

bool projection(ScriptStream& in) {
    float matrix[16];
    if (!readMatrix(in, matrix)) return true;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMultMatrixf(matrix);
    glMatrixMode(GL_MODELVIEW);
    return true;
}

// The aspect belongs to this call only; the frame keeps taking it from the drawing area.
bool perspective(ScriptStream& in) {
    float aspect = 0;
    if (readInto(in, storeFieldOfView) && readInto(in, [&](float a) { aspect = a; }) &&
        readInto(in, storeNearPlane) && readInto(in, storeFarPlane)) {
        const ViewSettings& v = viewSettings();
        loadPerspective(v.fieldOfView, aspect, v.nearPlane, v.farPlane);
    }
    return true;
}

bool ortho(ScriptStream& in) {
    for (int axis = 0; axis < 3; ++axis) {
        if (!readInto(in, [axis](float v) { storeOrthoLow(axis, v); }) ||
            !readInto(in, [axis](float v) { storeOrthoHigh(axis, v); }))
            return true;
    }
    const Vec3f& low = viewSettings().orthoMin;
    const Vec3f& high = viewSettings().orthoMax;
    loadOrthographic(low.x, high.x, low.y, high.y, low.z, high.z);
    return true;
}
}  // namespace

void loadOrthographic(double left, double right, double bottom, double top, double near,
                      double far) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (finite({left, right, bottom, top, near, far, right - left, top - bottom, far - near}) &&
        left != right && bottom != top && near != far)
        glOrtho(left, right, bottom, top, near, far);
    glMatrixMode(GL_MODELVIEW);
}

// The sines and cosines are taken in double and rounded to float, as are the eye coordinates,
// so the camera is the same whichever single-precision routines the C library offers.
void applyView() {
    const Trackball& t = trackball();
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

void loadPerspective(double fieldOfView, double aspect, double near, double far) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (finite({fieldOfView, aspect, near, far, far - near}))
        gluPerspective(fieldOfView, aspect, near, far);
    glMatrixMode(GL_MODELVIEW);
}

namespace {
const CommandRow viewRows[] = {{"ViewTransform", viewTransform}};
const CommandRow projectionRows[] = {
    {"Transform", transform},     {"LookAt", lookAt}, {"Projection", projection},
    {"Perspective", perspective}, {"Ortho", ortho},
};
}  // namespace
std::span<const CommandRow> viewTransformCommands() { return viewRows; }
std::span<const CommandRow> projectionCommands() { return projectionRows; }

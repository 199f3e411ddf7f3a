// Camera and projection commands: ViewTransform puts the trackball camera into effect;
// Transform and LookAt multiply onto the model-view matrix; Projection, Ortho and Perspective
// replace the projection matrix and leave the model-view matrix current. Ortho and Perspective
// store each number in ViewSettings as soon as it reads, so the panel shows it and later frames
// use it; a number that does not read leaves its setting alone. A command whose numbers do not
// all read makes no GL call: its matrix would be partly made of numbers the script never gave.
// The frame loads its projection through the same loaders.
#include "commands/camera.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <numbers>

#include "commands/feedback_marks.h"
#include "commands/registry.h"
#include "scene/trackball.h"
#include "scene/view_settings.h"

namespace {
// While a capture holds the projection, loads only mark their matrices (see camera.h).
bool held = false;
constexpr double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
double heldMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// Marks the matrix a load puts in place; true when the load is to go on to the GL.
bool markProjection(const double (&matrix)[16]) {
    putProjectionMark(matrix);
    if (held) std::copy(std::begin(matrix), std::end(matrix), heldMatrix);
    return !held;
}

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
    double marked[16];
    std::copy(std::begin(matrix), std::end(matrix), marked);
    if (!markProjection(marked)) return true;
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
    bool drawn = finite({left, right, bottom, top, near, far, right - left, top - bottom,
                         far - near}) && left != right && bottom != top && near != far;
    double w = right - left, h = top - bottom, d = far - near;
    double matrix[16] = {2 / w, 0, 0, 0, 0, 2 / h, 0, 0, 0, 0, -2 / d, 0,
                         -(right + left) / w, -(top + bottom) / h, -(far + near) / d, 1};
    if (!markProjection(drawn ? matrix : identity)) return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (drawn) glOrtho(left, right, bottom, top, near, far);
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

// GLU leaves the identity where the view has no depth, no angle or no width.
void loadPerspective(double fieldOfView, double aspect, double near, double far) {
    double angle = fieldOfView / 2 * std::numbers::pi / 180, depth = far - near;
    bool drawn = finite({fieldOfView, aspect, near, far, depth}) && depth != 0 &&
                 std::sin(angle) != 0 && aspect != 0;
    double f = std::cos(angle) / std::sin(angle);
    double matrix[16] = {f / aspect, 0, 0, 0, 0, f, 0, 0, 0, 0, -(far + near) / depth, -1,
                         0, 0, -2 * near * far / depth, 0};
    if (!markProjection(drawn ? matrix : identity)) return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (finite({fieldOfView, aspect, near, far, depth})) gluPerspective(fieldOfView, aspect, near, far);
    glMatrixMode(GL_MODELVIEW);
}

void holdProjection(bool hold) {
    held = hold;
    std::copy(std::begin(identity), std::end(identity), heldMatrix);
}

void samplingProjection(double (&matrix)[16]) {
    if (held)
        std::copy(std::begin(heldMatrix), std::end(heldMatrix), matrix);
    else
        glGetDoublev(GL_PROJECTION_MATRIX, matrix);
}

bool projectionHeld() { return held; }

namespace {
const CommandRow viewRows[] = {{"ViewTransform", viewTransform}};
const CommandRow projectionRows[] = {
    {"Transform", transform},     {"LookAt", lookAt}, {"Projection", projection},
    {"Perspective", perspective}, {"Ortho", ortho},
};
}  // namespace
std::span<const CommandRow> viewTransformCommands() { return viewRows; }
std::span<const CommandRow> projectionCommands() { return projectionRows; }

// Projection and camera commands: Transform and LookAt multiply onto the model-view matrix;
// Projection, Ortho and Perspective replace the projection matrix and leave the model-view
// matrix current. Ortho and Perspective store each number in ViewSettings as soon as it reads,
// so the panel shows it and later frames use it; a number that does not read leaves its setting
// alone. A command whose numbers do not all read makes no GL call: its matrix would be partly
// made of numbers the script never gave.
#include <GL/glu.h>

#include "interpreter/command_table.h"
#include "viewer/view_settings.h"

namespace {
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

bool readInto(ScriptStream& in, float& setting) {
    float number = 0;
    if (!(in >> number)) return false;
    setting = number;
    return true;
}

template <class Load>
void replaceProjection(Load load) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    load();
    glMatrixMode(GL_MODELVIEW);
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
    if (readMatrix(in, matrix)) replaceProjection([&] { glMultMatrixf(matrix); });
    return true;
}

// The aspect belongs to this call only; the frame keeps taking it from the drawing area.
bool perspective(ScriptStream& in) {
    ViewSettings& v = viewSettings;
    float aspect = 0;
    if (readInto(in, v.fieldOfView) && readInto(in, aspect) && readInto(in, v.nearPlane) &&
        readInto(in, v.farPlane))
        replaceProjection([&] { gluPerspective(v.fieldOfView, aspect, v.nearPlane, v.farPlane); });
    return true;
}

bool ortho(ScriptStream& in) {
    Vec3f& low = viewSettings.orthoMin;
    Vec3f& high = viewSettings.orthoMax;
    if (readInto(in, low.x) && readInto(in, high.x) && readInto(in, low.y) &&
        readInto(in, high.y) && readInto(in, low.z) && readInto(in, high.z))
        replaceProjection([&] { glOrtho(low.x, high.x, low.y, high.y, low.z, high.z); });
    return true;
}

const CommandRow rows[] = {
    {"Transform", transform},     {"LookAt", lookAt}, {"Projection", projection},
    {"Perspective", perspective}, {"Ortho", ortho},
};
}  // namespace
std::span<const CommandRow> projectionCommands() { return rows; }

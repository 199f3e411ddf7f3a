// Lighting and material: the position of the one light (light 0) and the front-and-back material.
// Components that cannot be read are 0 (alpha is always 1); an unreadable shininess leaves the
// material's shininess as it was.
#include <GL/gl.h>

#include "commands/registry.h"
#include "interpreter/command_table.h"
#include "interpreter/message_log.h"
#include "interpreter/open_primitive.h"

namespace {
// Mesa 22 crashes ending a display list that changes the material part way through a primitive,
// so such a change is refused while a list records; drawn at once, it is the GL's to take.
bool materialMayChange() {
    if (!recordingPrimitive()) return true;
    return refuse("Material changes between Begin and End cannot be recorded in a display list");
}

bool lightPosition(ScriptStream& in) {
    float position[4] = {0, 0, 0, 0};
    in >> position[0] >> position[1] >> position[2] >> position[3];
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    return true;
}

template <GLenum parameter>
bool materialColor(ScriptStream& in) {
    float color[4] = {0, 0, 0, 1};
    in >> color[0] >> color[1] >> color[2];
    if (!materialMayChange()) return false;
    glMaterialfv(GL_FRONT_AND_BACK, parameter, color);
    return true;
}

bool shininess(ScriptStream& in) {
    float value = 0;
    bool read = static_cast<bool>(in >> value);
    if (!materialMayChange()) return false;
    if (read) glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, value);
    return true;
}

const CommandRow rows[] = {
    {"LightPosition", lightPosition},
    {"AmbientColor", materialColor<GL_AMBIENT>},
    {"DiffuseColor", materialColor<GL_DIFFUSE>},
    {"SpecularColor", materialColor<GL_SPECULAR>},
    {"Shininess", shininess},
};
}
std::span<const CommandRow> lightingCommands() { return rows; }

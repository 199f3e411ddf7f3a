// Solid shapes: the nine freeglut solids, unit-sized at the origin. Curved ones are subdivided by
// the panel's tessellation at the moment they run. freeglut draws them from client arrays of its
// own, so each call sets the script's arrays aside. Between glBegin and glEnd of a primitive
// drawn at once the GL refuses every call a shape makes, so there a shape does nothing.
#include <GL/freeglut.h>

#include "commands/registry.h"
#include "interpreter/command_table.h"
#include "interpreter/gl_state.h"
#include "interpreter/open_primitive.h"
#include "scene/view_settings.h"

namespace {
template <void (*draw)()>
bool shape(ScriptStream&) {
    if (drawingPrimitive()) return true;
    WithoutScriptArrays isolated;
    draw();
    return true;
}

void box() { glutSolidCube(1.0); }
void sphere() { glutSolidSphere(1.0, viewSettings().tessellation, viewSettings().tessellation); }
void cone() { glutSolidCone(1.0, 1.0, viewSettings().tessellation, viewSettings().tessellation); }
void torus() { glutSolidTorus(0.5, 1.0, viewSettings().tessellation, viewSettings().tessellation); }
void teapot() { glutSolidTeapot(1.0); }

const CommandRow rows[] = {
    {"Box", shape<box>},
    {"Sphere", shape<sphere>},
    {"Cone", shape<cone>},
    {"Torus", shape<torus>},
    {"Tetrahedron", shape<glutSolidTetrahedron>},   {"Dodecahedron", shape<glutSolidDodecahedron>},
    {"Icosahedron", shape<glutSolidIcosahedron>},   {"Octahedron", shape<glutSolidOctahedron>},
    {"Teapot", shape<teapot>},
};
}
std::span<const CommandRow> shapeCommands() { return rows; }

// Groups ("{", "}") and the modelling transforms, fixed and driven by the scene clock.
// A group saves the model-view matrix and the lighting attributes. The GL's stacks are shallow
// (16 attribute levels, one of them the frame's own), and a group's "{" may have been recorded
// into a display list while its "}" runs outside it, so each open group remembers what its "{"
// really did, and "}" undoes exactly that: a run can never pop the frame's own saved state.
#include "interpreter/grouping.h"

#include <GL/gl.h>

#include <climits>
#include <cmath>
#include <vector>

#include "interpreter/command_table.h"
#include "interpreter/display_lists.h"
#include "interpreter/gl_state.h"
#include "interpreter/message_log.h"
#include "interpreter/open_primitive.h"
#include "scene/clock.h"

namespace {
int depth = 0;                  // braceDepth
// What the "{" of each open group did: pushed both stacks now (0), recorded the pushes into the
// display list with this id, or nothing because the stacks were full.
constexpr GLuint notSaved = UINT_MAX;
std::vector<GLuint> openGroups;
GLint runModelviewDepth = 1;    // stack depths when the run started
GLint runAttribDepth = 0;

// Between glBegin and glEnd the GL refuses pushes and pops: such a "{" saves nothing, and such a
// "}" leaves its group's levels to the end of the run.
bool openGroup(ScriptStream&) {
    GLuint list = compilingList();
    GLuint save = list != 0 ? list : (!drawingPrimitive() && stacksHaveRoomFor(1) ? 0 : notSaved);
    if (save != notSaved) {
        glPushMatrix();
        glPushAttrib(GL_LIGHTING_BIT);
    }
    if (list != 0) noteRecordedGroup(1);
    openGroups.push_back(save);
    ++depth;
    return true;
}

bool closeGroup(ScriptStream&) {
    if (!openGroups.empty()) {
        GLuint save = openGroups.back();
        openGroups.pop_back();
        if (save == compilingList() && !drawingPrimitive()) {
            glPopMatrix();
            popAttributes();
            if (save != 0) noteRecordedGroup(-1);
        }
    }
    if (--depth < 0) return refuse("unmatched `}'");
    return true;
}

bool rotate(ScriptStream& in) {
    float angle = 0, x = 0, y = 0, z = 0;
    in >> angle >> x >> y >> z;
    glRotatef(angle, x, y, z);
    return true;
}

bool translate(ScriptStream& in) {
    float x = 0, y = 0, z = 0;
    in >> x >> y >> z;
    glTranslatef(x, y, z);
    return true;
}

bool scale(ScriptStream& in) {
    float x = 0, y = 0, z = 0;
    in >> x >> y >> z;
    glScalef(x, y, z);
    return true;
}

bool rotateIncremental(ScriptStream& in) {
    float rate = 0, x = 0, y = 0, z = 0, period = 0;
    in >> rate >> x >> y >> z >> period;
    float phase = incrementalPhase(period);
    glRotatef(rate * phase, x, y, z);
    return true;
}

bool translateIncremental(ScriptStream& in) {
    float vx = 0, vy = 0, vz = 0, period = 0;
    in >> vx >> vy >> vz >> period;
    float phase = incrementalPhase(period);
    glTranslatef(vx * phase, vy * phase, vz * phase);
    return true;
}

bool scaleIncremental(ScriptStream& in) {
    float fx = 0, fy = 0, fz = 0, period = 0;
    in >> fx >> fy >> fz >> period;
    double phase = incrementalPhase(period);
    glScalef(float(std::pow(double(fx), phase)), float(std::pow(double(fy), phase)),
             float(std::pow(double(fz), phase)));
    return true;
}
}  // namespace

// q and f are rounded to single precision on purpose: animations must repeat exactly.
// A period of 0 (or one that makes the phase non-finite) stands still at phase 0, instead of
// handing the GL a matrix of NaNs that would blank everything drawn after it.
float incrementalPhase(float period) {
    float t = sceneClock();
    float q = t / period;
    float f = std::floor(q);
    float phase = float(double(t) - double(f) * double(period));
    return std::isfinite(phase) ? phase : 0.0f;
}

int braceDepth() { return depth; }

void beginGroups() {
    openGroups.clear();
    runModelviewDepth = glInteger(GL_MODELVIEW_STACK_DEPTH);
    runAttribDepth = glInteger(GL_ATTRIB_STACK_DEPTH);
}

void endGroups() {
    depth = 0;
    openGroups.clear();
    for (GLint d = glInteger(GL_MODELVIEW_STACK_DEPTH); d > runModelviewDepth; --d) glPopMatrix();
    for (GLint d = glInteger(GL_ATTRIB_STACK_DEPTH); d > runAttribDepth; --d) popAttributes();
}

namespace {
const CommandRow rows[] = {
    {"{", openGroup},
    {"}", closeGroup},
    {"Rotate", rotate},
    {"RotateIncremental", rotateIncremental},
    {"Translate", translate},
    {"TranslateIncremental", translateIncremental},
    {"Scale", scale},
    {"ScaleIncremental", scaleIncremental},
};
}
std::span<const CommandRow> groupingCommands() { return rows; }

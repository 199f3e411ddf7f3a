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

#include "commands/primitives.h"
#include "interpreter/command_table.h"
#include "interpreter/display_lists.h"
#include "interpreter/message_log.h"
#include "viewer/frame.h"

int braceDepth = 0;

namespace {
// What the "{" of each open group did: pushed both stacks now (0), recorded the pushes into the
// display list with this id, or nothing because the stacks were full.
constexpr GLuint notSaved = UINT_MAX;
std::vector<GLuint> openGroups;
GLint runModelviewDepth = 1;    // stack depths when the run started
GLint runAttribDepth = 0;

GLint glInteger(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

// One attribute level stays free for libraries that push their own (the NURBS curve renderer).
bool stacksHaveRoom() {
    return glInteger(GL_MODELVIEW_STACK_DEPTH) < glInteger(GL_MAX_MODELVIEW_STACK_DEPTH) &&
           glInteger(GL_ATTRIB_STACK_DEPTH) + 1 < glInteger(GL_MAX_ATTRIB_STACK_DEPTH);
}

bool openGroup(ScriptStream&) {
    GLuint list = GLuint(glInteger(GL_LIST_INDEX));
    GLuint save = list != 0 ? list : (stacksHaveRoom() ? 0 : notSaved);
    if (save != notSaved) {
        glPushMatrix();
        glPushAttrib(GL_LIGHTING_BIT);
    }
    if (list != 0) noteRecordedGroup(1);
    openGroups.push_back(save);
    ++braceDepth;
    return true;
}

bool closeGroup(ScriptStream&) {
    if (!openGroups.empty()) {
        GLuint save = openGroups.back();
        openGroups.pop_back();
        if (save == GLuint(glInteger(GL_LIST_INDEX))) {
            glPopMatrix();
            popAttributes();
            if (save != 0) noteRecordedGroup(-1);
        }
    }
    if (--braceDepth < 0) {
        logLine("unmatched `}'");
        return false;
    }
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

// Mesa's software renderer keeps material values set since the last draw pending, and a pop
// that follows without a draw leaves them in place. An empty primitive hands them over first;
// it is recorded too when a display list is being compiled, so replays restore alike.
void popAttributes() {
    glBegin(GL_POINTS);
    glEnd();
    glPopAttrib();
}

// Mesa 22 restores at glPopAttrib only the groups it saw change since the matching push, and each
// pop forgets what changed inside its own level. What a script changed inside a group besides
// lighting (the depth test, texturing, the current colour) would then outlast the frame that saves
// all attributes around the run. Changing those groups once more, back to the same values, at the
// end of the run makes that last pop restore them. Not while a display list is being compiled (the
// changes would be recorded) or a primitive is open (the GL refuses them there).
namespace {
void touchUnsavedGroups() {
    if (insideBegin || glInteger(GL_LIST_INDEX) != 0) return;
    for (GLenum capability : {GL_DEPTH_TEST, GL_TEXTURE_2D}) {
        bool on = glIsEnabled(capability);
        for (bool state : {!on, on}) state ? glEnable(capability) : glDisable(capability);
    }
    float colour[4], handedOver[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glColor4f(colour[0] == 0 ? 1.0f : 0.0f, colour[1], colour[2], colour[3]);
    glGetFloatv(GL_CURRENT_COLOR, handedOver);   // makes the GL take the changed colour
    glColor4fv(colour);
}
}  // namespace

void beginGroups() {
    openGroups.clear();
    runModelviewDepth = glInteger(GL_MODELVIEW_STACK_DEPTH);
    runAttribDepth = glInteger(GL_ATTRIB_STACK_DEPTH);
}

void endGroups() {
    openGroups.clear();
    for (GLint d = glInteger(GL_MODELVIEW_STACK_DEPTH); d > runModelviewDepth; --d) glPopMatrix();
    for (GLint d = glInteger(GL_ATTRIB_STACK_DEPTH); d > runAttribDepth; --d) popAttributes();
    touchUnsavedGroups();
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

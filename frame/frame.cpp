// frame/: the frame, the one start-up path (a window's or the offscreen one), the session reset
// and the offscreen context. Everything that runs a script goes through here. It uses
// commands/, interpreter/ and scene/.
//
// The frame: the one road along which the script runs, for the viewer and the tools alike. It
// clears, loads the projection from ViewSettings, saves every attribute group, runs the script
// and restores them, and then sets the start-up attribute state again (see applyStartState).
#include "frame/frame.h"

#include <GL/gl.h>

#include <algorithm>

#include "commands/camera.h"
#include "interpreter/gl_state.h"
#include "interpreter/runner.h"
#include "scene/script_file.h"
#include "scene/view_settings.h"

namespace {
void loadProjection() {
    const ViewSettings& v = viewSettings();
    if (v.orthographic == 0) {
        // A drawing area of height 0 would make the aspect infinite and the matrix NaN.
        double aspect = double(v.windowWidth) / double(std::max(v.windowHeight, 1));
        loadPerspective(v.fieldOfView, aspect, v.nearPlane, v.farPlane);
    } else {
        loadOrthographic(v.orthoMin.x, v.orthoMax.x, v.orthoMin.y, v.orthoMax.y, v.orthoMin.z,
                         v.orthoMax.z);
    }
    glLoadIdentity();
}

// Mesa's software renderer keeps the attributes of the last primitive its clipper cut and gives
// them to the first primitive of the next frame: a polygon the script drew half off screen changed
// the texture coordinates of the next frame's first triangle. A point at the centre of the view,
// drawn with the start values and with nothing written, leaves it holding those instead.
void drawNothingWithStartValues() {
    GLint mode = GL_RENDER;
    glGetIntegerv(GL_RENDER_MODE, &mode);
    if (mode != GL_RENDER) return;   // a capture would take the point for the scene's
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDepthMask(GL_FALSE);
    for (GLenum matrix : {GL_PROJECTION, GL_MODELVIEW}) {
        glMatrixMode(matrix);
        glPushMatrix();
        glLoadIdentity();
    }
    glBegin(GL_POINTS);
    glVertex3f(0, 0, 0);
    glEnd();
    for (GLenum matrix : {GL_PROJECTION, GL_MODELVIEW}) {
        glMatrixMode(matrix);
        glPopMatrix();
    }
    glPopAttrib();
}

// The attribute state every frame starts from: the GL's own initial values and the start-up
// enables. Mesa 22 restores at glPopAttrib only the groups it saw change since the matching
// push, and forgets what changed before a nested push and pop (a group's "{ }", GLU's curve
// renderer, a display list's groups), so a material, an enable or a texture setting could
// outlast the frame that set it. Setting them all again after the frame's own restore makes
// every frame start alike, whatever Mesa kept.
void applyStartState() {
    for (GLenum on : {GL_DEPTH_TEST, GL_NORMALIZE, GL_LIGHTING, GL_LIGHT0}) glEnable(on);
    for (GLenum off : {GL_TEXTURE_2D, GL_AUTO_NORMAL}) glDisable(off);
    const float ambient[4] = {0.2f, 0.2f, 0.2f, 1}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1};
    const float black[4] = {0, 0, 0, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0);
    // The light's position is kept in eye coordinates; the model-view matrix stays as the
    // script left it, for the right-click pick.
    const float overhead[4] = {0, 0, 1, 0};
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_POSITION, overhead);
    glPopMatrix();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, 0);
    glFrontFace(GL_CCW);
    glColor4f(1, 1, 1, 1);
    glNormal3f(0, 0, 1);
    glTexCoord4f(0, 0, 0, 1);
    drawNothingWithStartValues();
}
}  // namespace

void applyGraphicsDefaults() {
    glLoadIdentity();
    glClearColor(0, 0, 0.2f, 0);
    applyStartState();
}

bool drawFrame(void (*prepare)()) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glShadeModel(viewSettings().smoothShading ? GL_SMOOTH : GL_FLAT);
    glPolygonMode(GL_FRONT_AND_BACK, viewSettings().wireframe ? GL_LINE : GL_FILL);
    loadProjection();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    if (prepare) prepare();
    bool ran = runScript();
    // Calls the GL refused (a transform between Begin and End, a degenerate Ortho) concern
    // this frame only; the next frame's first curve must not report them.
    discardGlErrors();
    popAttributes();
    applyStartState();
    // The viewer's buffer swap hands each frame to the GL. Offscreen nothing does unless the
    // frame is read, and Mesa then keeps every unread frame's work queued: a thousand frames of
    // a single-picture render held over a gigabyte.
    glFlush();
    return ran;
}

std::string statusText() { return "Drawing : " + scriptFileName(); }

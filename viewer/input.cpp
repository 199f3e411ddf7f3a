// Keyboard and mouse: the shortcut table, the scene's mouse handler and the routing of GLUT
// events. Every event reaches the panel first; the scene gets a key only when no panel field
// is being edited, and a drag or a turn of the wheel only outside the panels.
#include "viewer/input.h"

#include <GL/freeglut.h>

#include <cstdlib>

#include "scene/trackball.h"
#include "scene/view_settings.h"
#include "viewer/panel.h"
#include "viewer/panel_input.h"
#include "viewer/trackball.h"
#include "viewer/viewer.h"

namespace {
// Routing state.
unsigned heldButtons = 0;   // GLUT buttons now down, one bit each
bool dragOnPanel = false;   // the buttons now held went down on a panel

void quit() { std::exit(0); }

void hideOrShowPanels() {
    togglePanelsHidden();
    reshape(0, 0);
}

void trackHeldButtons(int button, int state) {
    if (button < 0 || button >= 32) return;
    if (state == GLUT_DOWN)
        heldButtons |= 1u << button;
    else
        heldButtons &= ~(1u << button);
}

}  // namespace

void mouseButton(int button, int state, int x, int y) {
    if (button != GLUT_RIGHT_BUTTON || state != GLUT_UP) return;
    double point[3];
    if (!pickCenter(x, y, point)) return;
    setOrbitCentre({float(point[0]), float(point[1]), float(point[2])});
}

// A key is the scene's when it reaches the panel with no field taking the keyboard.
void keyboardEvent(unsigned char key, int x, int y) { panelKey(key, true, x, y, keyboardShortcut); }
void keyboardUpEvent(unsigned char key, int x, int y) { panelKey(key, false, x, y, nullptr); }

// The scene has no use for special keys; text fields use the arrows, Home and End.
void specialEvent(int key, int x, int y) { panelSpecialKey(key, true, x, y); }
void specialUpEvent(int key, int x, int y) { panelSpecialKey(key, false, x, y); }

// Who owns a drag is settled when its first button goes down and holds until all are up.
void mouseEvent(int button, int state, int x, int y) {
    if (state == GLUT_DOWN && heldButtons == 0) dragOnPanel = panelWantsMouse(x);
    trackHeldButtons(button, state);
    panelMouseButton(button, state, x, y);
    if (!dragOnPanel) mouseButton(button, state, x, y);
}

void motionEvent(int x, int y) {
    panelMouseMotion(x, y);
    if (!dragOnPanel) trackballMotion(x, y);
}

void passiveMotionEvent(int x, int y) { panelMouseMotion(x, y); }

// The wheel moves nearer and farther as + and - do, unless the panel takes it (to scroll the
// log, for one).
void mouseWheelEvent(int wheel, int direction, int x, int y) {
    panelMouseWheel(wheel, direction, x, y);
    if (panelWantsMouse(x) || direction == 0) return;
    if (direction > 0)
        moveNearer();
    else
        moveFarther();
}

void resetInput() {
    heldButtons = 0;
    dragOnPanel = false;
    resetPanelInput();
}

namespace {
struct KeyRow {
    unsigned char key;
    void (*action)();
};

const KeyRow keyRows[] = {
    {27, quit},
    {'+', moveNearer},
    {'-', moveFarther},
    {'Z', widenFieldOfView},
    {'h', hideOrShowPanels},
    {'s', toggleSmoothShading},
    {'t', doubleTessellation},
    {'w', toggleWireframe},
    {'z', narrowFieldOfView},
};
}  // namespace

// Only the keys in the table act: codes below 27 or above 122 and upper-case S, T, W, H do not.
void keyboardShortcut(unsigned char key) {
    for (const KeyRow& row : keyRows)
        if (row.key == key) return row.action();
}

// Feeding the panel's toolkit through its GLUT back end, at most one change per button or key
// per panel frame. The back end is called straight from GLUT's callbacks whenever it can be;
// a change that has to wait is applied later by setting the same state the back end would,
// since the back end asks GLUT for the modifier keys, which GLUT answers only inside its
// input callbacks.
#include "viewer/panel_input.h"

#include <GL/freeglut.h>
#include <backends/imgui_impl_glut.h>
#include <imgui.h>

#include <algorithm>
#include <bitset>
#include <deque>

namespace {
// Buttons and keys share one numbering: mouse buttons, then characters, then special keys.
constexpr int characterBase = 3, specialBase = characterBase + 256, codeCount = specialBase + 256;

struct Change {
    int code;
    bool down;
    int x, y;   // where a mouse button changed
};

// Panel input state.
std::deque<Change> waiting;             // changes for later frames, in the order they came
std::bitset<codeCount> changedInFrame;  // buttons and keys already changed for the next frame

// The key state the back end keeps: a letter is held in both cases, and a control character
// (GLUT's Ctrl+letter) as its letter too.
void setKeyDown(int key, bool down) {
    bool* keys = ImGui::GetIO().KeysDown;
    keys[key] = down;
    if (key >= 1 && key <= 26) keys[key - 1 + 'a'] = keys[key - 1 + 'A'] = down;
    if (key >= 'a' && key <= 'z') keys[key - 'a' + 'A'] = down;
    if (key >= 'A' && key <= 'Z') keys[key - 'A' + 'a'] = down;
}

void apply(const Change& change) {
    if (change.code < characterBase)
        ImGui_ImplGLUT_MouseFunc(change.code, change.down ? GLUT_DOWN : GLUT_UP, change.x,
                                 change.y);
    else if (change.code < specialBase)
        setKeyDown(change.code - characterBase, change.down);
    else
        ImGui::GetIO().KeysDown[change.code - specialBase + 256] = change.down;
}

// Whether the change can go to the toolkit now; if not, it joins the waiting ones.
bool passesNow(const Change& change) {
    if (!changedInFrame[change.code]) {
        changedInFrame[change.code] = true;
        return true;
    }
    waiting.push_back(change);
    return false;
}

void readModifiers() {
    ImGuiIO& io = ImGui::GetIO();
    int modifiers = glutGetModifiers();
    io.KeyCtrl = (modifiers & GLUT_ACTIVE_CTRL) != 0;
    io.KeyShift = (modifiers & GLUT_ACTIVE_SHIFT) != 0;
    io.KeyAlt = (modifiers & GLUT_ACTIVE_ALT) != 0;
}
}  // namespace

void panelMouseButton(int button, int state, int x, int y) {
    if (button < 0 || button >= characterBase) return;   // the toolkit knows three buttons
    if (passesNow({button, state == GLUT_DOWN, x, y}))
        ImGui_ImplGLUT_MouseFunc(button, state, x, y);
    else
        ImGui_ImplGLUT_MotionFunc(x, y);
}

void panelMouseMotion(int x, int y) { ImGui_ImplGLUT_MotionFunc(x, y); }

void panelMouseWheel(int wheel, int direction, int x, int y) {
    ImGui_ImplGLUT_MouseWheelFunc(wheel, direction, x, y);
}

void panelKey(unsigned char key, bool down, int x, int y) {
    if (passesNow({characterBase + key, down, x, y})) {
        if (down)
            ImGui_ImplGLUT_KeyboardFunc(key, x, y);
        else
            ImGui_ImplGLUT_KeyboardUpFunc(key, x, y);
        return;
    }
    // Typed characters have a queue of their own and keep their order there.
    if (down && key >= 32) ImGui::GetIO().AddInputCharacter(key);
    readModifiers();
}

void panelSpecialKey(int key, bool down, int x, int y) {
    if (key < 0 || key >= 256) return;
    if (!passesNow({specialBase + key, down, x, y})) return readModifiers();
    if (down)
        ImGui_ImplGLUT_SpecialFunc(key, x, y);
    else
        ImGui_ImplGLUT_SpecialUpFunc(key, x, y);
}

void nextPanelInput() {
    changedInFrame.reset();
    for (auto it = waiting.begin(); it != waiting.end();) {
        if (changedInFrame[it->code]) {
            ++it;   // its turn comes after the earlier change of the same button or key
            continue;
        }
        changedInFrame[it->code] = true;
        apply(*it);
        it = waiting.erase(it);
    }
}

void resetPanelInput() {
    waiting.clear();
    changedInFrame.reset();
    if (!ImGui::GetCurrentContext()) return;
    ImGuiIO& io = ImGui::GetIO();
    std::fill(std::begin(io.MouseDown), std::end(io.MouseDown), false);
    std::fill(std::begin(io.KeysDown), std::end(io.KeysDown), false);
}

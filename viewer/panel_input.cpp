// Feeding the panel's toolkit through its GLUT back end, at most one change per button or key
// per panel frame. The back end is called straight from GLUT's callbacks whenever it can be;
// a change that has to wait is applied later by setting the same state the back end would,
// since the back end asks GLUT for the modifier keys, which GLUT answers only inside its
// input callbacks.
// A held key's repeats change no key state, so they take no frame of their own, and they are
// collapsed: of one key's repeats between two frames only the first counts, and a release drops
// the repeats of its key that still wait. So a held key acts at most once a frame and stops at
// its release however long a frame takes, instead of leaving a queue that acts on for seconds.
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
    bool repeat;                          // a press of a key already held
    int x, y;                             // where a mouse button changed
    int modifiers;                        // GLUT's modifier keys when a key changed
    void (*unclaimed)(unsigned char);     // for a pressed key the panel does not take
};

// Panel input state.
std::deque<Change> waiting;             // changes for later frames, in the order they came
std::bitset<codeCount> changedInFrame;  // buttons already changed for the next frame
bool keyChangedInFrame = false;         // a key has changed for the next frame
std::bitset<codeCount> held;            // keys down, as far as the changes that came go
std::bitset<codeCount> pressedInFrame;  // keys pressed or repeated since the last frame

bool isKey(int code) { return code >= characterBase; }

// The key state the back end keeps: a letter is held in both cases, and a control character
// (GLUT's Ctrl+letter) as its letter too.
void setKeyDown(int key, bool down) {
    bool* keys = ImGui::GetIO().KeysDown;
    keys[key] = down;
    if (key >= 1 && key <= 26) keys[key - 1 + 'a'] = keys[key - 1 + 'A'] = down;
    if (key >= 'a' && key <= 'z') keys[key - 'a' + 'A'] = down;
    if (key >= 'A' && key <= 'Z') keys[key - 'A' + 'a'] = down;
}

void setModifiers(int modifiers) {
    ImGuiIO& io = ImGui::GetIO();
    io.KeyCtrl = (modifiers & GLUT_ACTIVE_CTRL) != 0;
    io.KeyShift = (modifiers & GLUT_ACTIVE_SHIFT) != 0;
    io.KeyAlt = (modifiers & GLUT_ACTIVE_ALT) != 0;
}

// A key that reached the panel: the scene's when no field takes the keyboard at that moment.
void offerToScene(const Change& change) {
    if (change.down && change.unclaimed && !ImGui::GetIO().WantCaptureKeyboard)
        change.unclaimed((unsigned char)(change.code - characterBase));
}

// A change that waited, applied by setting the state the back end would have set.
void apply(const Change& change) {
    if (!isKey(change.code)) {
        ImGui_ImplGLUT_MouseFunc(change.code, change.down ? GLUT_DOWN : GLUT_UP, change.x,
                                 change.y);
        return;
    }
    setModifiers(change.modifiers);
    if (change.code < specialBase) {
        int key = change.code - characterBase;
        setKeyDown(key, change.down);
        if (change.down && key >= 32) ImGui::GetIO().AddInputCharacter(key);
    } else {
        ImGui::GetIO().KeysDown[change.code - specialBase + 256] = change.down;
    }
    offerToScene(change);
}

// Whether a button or key may change in the coming frame; if so, it is marked as changed. A
// repeat waits behind a key that changed but leaves the frame to the next key.
bool mayChange(const Change& change) {
    if (!isKey(change.code)) {
        if (changedInFrame[change.code]) return false;
        changedInFrame[change.code] = true;
        return true;
    }
    if (keyChangedInFrame) return false;
    keyChangedInFrame = !change.repeat;
    return true;
}

// The key a code stands for: a letter is let go in the other case than it was pressed in when
// Shift is let go first.
int keyOf(int code) {
    const int c = code - characterBase;
    return c >= 'A' && c <= 'Z' ? code - 'A' + 'a' : code;
}

// Sorts a key change as it comes: false when it is a repeat to drop. The viewer asks the server
// to send a held key's repeats as presses alone, without a release before each.
bool keyComes(Change& change) {
    const int key = keyOf(change.code);
    if (!change.down) {
        held[key] = false;
        std::erase_if(waiting, [&](const Change& c) { return c.repeat && keyOf(c.code) == key; });
        return true;
    }
    change.repeat = held[key];
    held[key] = true;
    // The toolkit repeats the special keys it holds by itself.
    if (change.repeat && (key >= specialBase || pressedInFrame[key])) return false;
    pressedInFrame[key] = true;
    return true;
}

// Whether the change can go to the toolkit now; if not, it joins the waiting ones. A key waits
// too while keys before it wait, so keys keep their order.
bool passesNow(Change change) {
    bool keysWaiting = std::any_of(waiting.begin(), waiting.end(),
                                   [](const Change& c) { return isKey(c.code); });
    if (!(isKey(change.code) && keysWaiting) && mayChange(change)) return true;
    if (isKey(change.code)) change.modifiers = glutGetModifiers();
    waiting.push_back(change);
    return false;
}
}  // namespace

void panelMouseButton(int button, int state, int x, int y) {
    if (button < 0 || button >= characterBase) return;   // the toolkit knows three buttons
    if (passesNow({button, state == GLUT_DOWN, false, x, y, 0, nullptr}))
        ImGui_ImplGLUT_MouseFunc(button, state, x, y);
    else
        ImGui_ImplGLUT_MotionFunc(x, y);
}

void panelMouseMotion(int x, int y) { ImGui_ImplGLUT_MotionFunc(x, y); }

void panelMouseWheel(int wheel, int direction, int x, int y) {
    ImGui_ImplGLUT_MouseWheelFunc(wheel, direction, x, y);
}

// The back end reads the modifier keys from GLUT, which answers only inside its callbacks, so a
// key that has to wait keeps them from here.
void panelKey(unsigned char key, bool down, int x, int y, void (*unclaimed)(unsigned char)) {
    Change change{characterBase + key, down, false, x, y, 0, unclaimed};
    if (!keyComes(change) || !passesNow(change)) return;
    if (down)
        ImGui_ImplGLUT_KeyboardFunc(key, x, y);
    else
        ImGui_ImplGLUT_KeyboardUpFunc(key, x, y);
    offerToScene(change);
}

void panelSpecialKey(int key, bool down, int x, int y) {
    if (key < 0 || key >= 256) return;
    Change change{specialBase + key, down, false, x, y, 0, nullptr};
    if (!keyComes(change) || !passesNow(change)) return;
    if (down)
        ImGui_ImplGLUT_SpecialFunc(key, x, y);
    else
        ImGui_ImplGLUT_SpecialUpFunc(key, x, y);
}

// Each button's next change, and the next key change of all, go through.
void nextPanelInput() {
    changedInFrame.reset();
    keyChangedInFrame = false;
    pressedInFrame.reset();
    for (auto it = waiting.begin(); it != waiting.end();) {
        if (!mayChange(*it)) {
            ++it;   // its turn comes in a later frame
            continue;
        }
        Change change = *it;
        it = waiting.erase(it);
        apply(change);
    }
}

void resetPanelInput() {
    waiting.clear();
    changedInFrame.reset();
    keyChangedInFrame = false;
    held.reset();
    pressedInFrame.reset();
    if (!ImGui::GetCurrentContext()) return;
    ImGuiIO& io = ImGui::GetIO();
    std::fill(std::begin(io.MouseDown), std::end(io.MouseDown), false);
    std::fill(std::begin(io.KeysDown), std::end(io.KeysDown), false);
}

// viewer/: the corvane program: its GLUT window and callbacks, the Dear ImGui panels and their
// log box, keyboard and mouse, the trackball's pick and the file browser. It uses frame/ and what
// lies below.
//
// The viewer: start-up in its fixed order, then GLUT callbacks on one thread. The timer ticks
// the scene clock every 20 ms and asks for a frame; each frame runs the whole script again and
// then draws the panels over the picture.
#include "viewer/viewer.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/XKBlib.h>

#include <chrono>
#include <string>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>

#include "frame/frame.h"
#include "frame/offscreen.h"
#include "frame/session.h"
#include "frame/visible_text.h"
#include "interpreter/command_table.h"
#include "interpreter/message_log.h"
#include "scene/clock.h"
#include "scene/script_file.h"
#include "scene/view_settings.h"
#include "viewer/file_browser.h"
#include "viewer/input.h"
#include "viewer/log_box.h"
#include "viewer/panel.h"
#include "viewer/panel_input.h"

namespace {
int MainWindow = 0;   // the GLUT window the scene and both panels are drawn in

constexpr const char* help =
    "usage: corvane [SCRIPT]\n"
    "       corvane --help | --version\n"
    "Shows the scene described by SCRIPT and draws it again whenever the file is saved.\n"
    "Mouse: drag to orbit a scene that uses ViewTransform; right click to orbit another point;\n"
    "the wheel moves nearer and farther.\n"
    "Keys: + and - move nearer and farther, z and Z narrow and widen the view, t tessellation,\n"
    "s smooth shading, w wireframe, h hides the panels, Escape quits.\n";

void display() {
    updateLogBox(drawFrame());
    drawPanels();
    nextPanelInput();
    glutSwapBuffers();
}

// The panels read their values as they draw, so all that is left is to keep the main window
// current. GLUT calls this without pause while idle; the short wait keeps it from taking a
// whole processor between the 20 ms frames.
void idle() {
    if (glutGetWindow() != MainWindow) glutSetWindow(MainWindow);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

void timer(int) {
    advanceSceneClock();
    glutTimerFunc(20, timer, 0);
    glutPostRedisplay();
}

void installCallbacks() {
    glutDisplayFunc(display);
    glutMotionFunc(motionEvent);
    glutPassiveMotionFunc(passiveMotionEvent);
    glutReshapeFunc(reshape);
    glutKeyboardFunc(keyboardEvent);
    glutKeyboardUpFunc(keyboardUpEvent);
    glutSpecialFunc(specialEvent);
    glutSpecialUpFunc(specialUpEvent);
    glutMouseFunc(mouseEvent);
    glutMouseWheelFunc(mouseWheelEvent);
}
}  // namespace

void reshape(int, int) {
    int width = glutGet(GLUT_WINDOW_WIDTH), height = glutGet(GLUT_WINDOW_HEIGHT);
    setPanelWindowSize(width, height);
    DrawingArea area = drawingArea(width, height);
    glViewport(area.x, area.y, area.width, area.height);
    setDrawingArea(area.width, area.height);
    glutPostRedisplay();
}

int runViewer(int argc, char** argv) {
    // These two are answered on the terminal; any other argument names the script.
    if (argc > 1 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::cout << help;
        return 0;
    }
    if (argc > 1 && !std::strcmp(argv[1], "--version")) {
        std::cout << "corvane " CORVANE_VERSION "\n";
        return 0;
    }
    if (!displayAvailable()) {
        // The viewer is a window; what draws without one is corvane-render.
        const char* display = std::getenv("DISPLAY");
        if (display && *display)
            std::cerr << "corvane: cannot open the display " << visibleText(display)
                      << "; corvane-render draws scripts without one\n";
        else
            std::cerr << "corvane: the viewer needs a display, and DISPLAY is not set; corvane-render "
                         "draws scripts without one\n";
        return 1;
    }

    // The script is named before GLUT sees (and may take) the arguments.
    std::string script = argc > 1 ? argv[1] : "";

    // The window, the start state every program shares, the log's first line and the callbacks.
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(viewSettings().windowWidth, viewSettings().windowHeight);
    glutInit(&argc, argv);
    MainWindow = glutCreateWindow("Corvane");
    // A held key repeats as presses alone, without the release the server would otherwise send
    // before each, so that the panel's input can tell a repeat from a new press.
    Bool repeatsDetectable = False;
    XkbSetDetectableAutoRepeat(glXGetCurrentDisplay(), True, &repeatsDetectable);
    keepGlDriverLoaded();
    startSession();
    logLine("Log begins ...");
    chooseScriptFile(script);
    installCallbacks();

    // The panels, which show the log from now on, the idle callback and the frame timer.
    initPanels();
    glutIdleFunc(idle);
    listDirectory();
    glutTimerFunc(20, timer, 0);

    glutSetWindow(MainWindow);
    glutMainLoop();
    return 0;
}

// The viewer: start-up in its fixed order, then GLUT callbacks on one thread. The timer ticks
// the scene clock every 20 ms and asks for a frame; each frame runs the whole script again and
// then draws the panels over the picture.
#include "viewer/viewer.h"

#include <GL/freeglut.h>

#include <chrono>
#include <string>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>

#include "interpreter/command_table.h"
#include "interpreter/display_lists.h"
#include "interpreter/message_log.h"
#include "tools/offscreen.h"
#include "tools/session.h"
#include "viewer/file_browser.h"
#include "viewer/file_selection.h"
#include "viewer/frame.h"
#include "viewer/input.h"
#include "viewer/panel.h"
#include "viewer/panel_input.h"
#include "viewer/view_settings.h"

namespace {
int MainWindow = 0;   // the GLUT window the scene and both panels are drawn in
const char* listReport = nullptr;   // CORVANE_LIST_REPORT: where exit writes the list counts

constexpr const char* help =
    "usage: corvane [SCRIPT]\n"
    "Shows the scene described by SCRIPT and draws it again whenever the file is saved.\n"
    "Mouse: drag to orbit a scene that uses ViewTransform; right click to orbit another point.\n"
    "Keys: + and - move nearer and farther, z and Z narrow and widen the view, t tessellation,\n"
    "s smooth shading, w wireframe, h hides the panels, Escape quits.\n"
    "With CORVANE_LIST_REPORT=FILE set, quitting writes to FILE how many display lists were\n"
    "made and how many of them outlived their version of the script without being deleted.\n";

// For leak checks of long runs: the GL context is still current when exit runs this.
void writeListReport() {
    if (FILE* out = std::fopen(listReport, "w")) {
        std::fprintf(out, "generated %ld stray %d\n", generatedDisplayLists(), strayDisplayLists());
        std::fclose(out);
    }
}

void display() {
    bool ran = drawFrame();
    setLogBoxText(statusText(ran));
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
    viewSettings.windowWidth = area.width;
    viewSettings.windowHeight = area.height;
    glutPostRedisplay();
}

int runViewer(int argc, char** argv) {
    if (argc > 1 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::cout << help;
        return 0;
    }
    if (!displayAvailable()) {
        std::cerr << "corvane: cannot open a display\n";
        return 1;
    }

    // The script is named before GLUT sees (and may take) the arguments.
    std::string script = argc > 1 ? argv[1] : "";

    // The window, the start state every program shares, the log's first line and the callbacks.
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(viewSettings.windowWidth, viewSettings.windowHeight);
    glutInit(&argc, argv);
    MainWindow = glutCreateWindow("Corvane");
    keepGlDriverLoaded();
    startSession();
    logLine("Log begins ...");
    scriptFileName = script;
    installCallbacks();

    // The panels, which show the log from now on, the idle callback and the frame timer.
    initPanels();
    glutIdleFunc(idle);
    setLogBoxText(logText());
    listDirectory();
    glutTimerFunc(20, timer, 0);

    glutSetWindow(MainWindow);
    listReport = std::getenv("CORVANE_LIST_REPORT");
    if (listReport) std::atexit(writeListReport);
    glutMainLoop();
    return 0;
}

// The viewer: start-up in its fixed order, then GLUT callbacks on one thread. The timer ticks
// the scene clock every 20 ms and asks for a frame; each frame runs the whole script again.
#include "viewer/viewer.h"

#include <GL/freeglut.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "interpreter/command_table.h"
#include "interpreter/message_log.h"
#include "tools/offscreen.h"
#include "viewer/file_selection.h"
#include "viewer/frame.h"
#include "viewer/trackball.h"
#include "viewer/view_settings.h"

namespace {
int MainWindow = 0;   // the GLUT window the scene is drawn in

constexpr const char* help =
    "usage: corvane [SCRIPT]\n"
    "Shows the scene described by SCRIPT and draws it again whenever the file is saved.\n"
    "Keys: Escape quits.\n";

void display() {
    bool ran = drawFrame();
    (void)statusText(ran);   // the log box shows it once the panels exist
    glutSwapBuffers();
}

void reshape(int, int) {
    viewSettings.windowWidth = glutGet(GLUT_WINDOW_WIDTH);
    viewSettings.windowHeight = glutGet(GLUT_WINDOW_HEIGHT);
    glViewport(0, 0, viewSettings.windowWidth, viewSettings.windowHeight);
    glutPostRedisplay();
}

void timer(int) {
    advanceSceneClock();
    glutTimerFunc(20, timer, 0);
    glutPostRedisplay();
}

void keyboard(unsigned char key, int, int) {
    if (key == 27) std::exit(0);
}
}  // namespace

int runViewer(int argc, char** argv) {
    if (argc > 1 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::cout << help;
        return 0;
    }
    logLine("Log begins ...");
    if (argc > 1) scriptFileName = argv[1];
    if (!displayAvailable()) {
        std::cerr << "corvane: cannot open a display\n";
        return 1;
    }

    // The window, its callbacks and the frame timer.
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(viewSettings.windowWidth, viewSettings.windowHeight);
    glutInit(&argc, argv);
    MainWindow = glutCreateWindow("Corvane");
    glutDisplayFunc(display);
    glutMotionFunc(trackballMotion);
    glutReshapeFunc(reshape);
    glutKeyboardFunc(keyboard);
    glutTimerFunc(20, timer, 0);

    // Graphics defaults in the main window's context, then the commands.
    glutSetWindow(MainWindow);
    applyGraphicsDefaults();
    fillCommandTable();
    glutMainLoop();
    return 0;
}

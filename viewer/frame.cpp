// One frame of the scene, the scene clock and the start-up graphics defaults.
#include "viewer/frame.h"

#include <GL/glu.h>

#include <algorithm>

#include "interpreter/grouping.h"
#include "interpreter/message_log.h"
#include "interpreter/runner.h"
#include "viewer/file_selection.h"
#include "viewer/view_settings.h"

namespace {
double sceneClockSeconds = 0;   // advanced only by the timer (and set by tools)

void loadProjection() {
    const ViewSettings& v = viewSettings;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (v.orthographic == 0) {
        // A drawing area of height 0 would make the aspect infinite and the matrix NaN.
        double aspect = double(v.windowWidth) / double(std::max(v.windowHeight, 1));
        gluPerspective(v.fieldOfView, aspect, v.nearPlane, v.farPlane);
    } else {
        glOrtho(v.orthoMin.x, v.orthoMax.x, v.orthoMin.y, v.orthoMax.y, v.orthoMin.z, v.orthoMax.z);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
}  // namespace

float sceneClock() { return float(sceneClockSeconds); }
void advanceSceneClock() { sceneClockSeconds += 0.02; }
void setSceneClock(double seconds) { sceneClockSeconds = seconds; }

void applyGraphicsDefaults() {
    glLoadIdentity();
    glClearColor(0, 0, 0.2f, 0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
}

bool drawFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glShadeModel(viewSettings.smoothShading ? GL_SMOOTH : GL_FLAT);
    glPolygonMode(GL_FRONT_AND_BACK, viewSettings.wireframe ? GL_LINE : GL_FILL);
    loadProjection();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    bool ran = runScript();
    popAttributes();
    return ran;
}

// A failed version's log is shown on every frame; a huge one (100,000 messages, or one quoting
// a 100 MB word) is cut so that the frame keeps the timer's pace. The log itself keeps it all.
std::string statusText(bool ran) {
    if (ran) return "Drawing : " + scriptFileName;
    const std::string& log = logText();
    constexpr std::size_t shown = 16 * 1024;
    if (log.size() <= shown) return log;
    std::size_t cut = log.rfind('\n', shown);
    cut = cut == std::string::npos ? shown : cut + 1;
    return log.substr(0, cut) + "... (" + std::to_string(log.size() - cut) +
           " more bytes of the log are not shown)\n";
}

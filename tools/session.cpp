// Resets what the runner, the commands, the view and the clock keep between runs.
#include "tools/session.h"

#include "commands/nurbs.h"
#include "commands/primitives.h"
#include "commands/render_state.h"
#include "commands/vertex_arrays.h"
#include "interpreter/command_table.h"
#include "interpreter/display_lists.h"
#include "interpreter/message_log.h"
#include "interpreter/runner.h"
#include "viewer/file_selection.h"
#include "viewer/frame.h"
#include "viewer/trackball.h"
#include "viewer/view_settings.h"

void resetSession() {
    int width = viewSettings.windowWidth, height = viewSettings.windowHeight;
    viewSettings = ViewSettings{};
    viewSettings.windowWidth = width;   // the drawing area keeps its size
    viewSettings.windowHeight = height;
    resetRunner();
    resetLog();
    setMessageOffset(-1);
    resetTrackball(30);
    trackball.lastX = trackball.lastY = 0;
    setSceneClock(0);
    resetPrimitives();
    resetDisplayLists();
    resetNurbs();
    resetVertexArrays();
    resetTextures();
    scriptFileName.clear();
}

void startSession() {
    applyGraphicsDefaults();
    fillCommandTable();
    resetSession();
}

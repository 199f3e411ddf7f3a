// Start-up and the session reset; see session.h.
#include "frame/session.h"

#include "commands/nurbs.h"
#include "commands/primitives.h"
#include "commands/registry.h"
#include "commands/render_state.h"
#include "commands/vertex_arrays.h"
#include "frame/frame.h"
#include "frame/offscreen.h"
#include "interpreter/display_lists.h"
#include "interpreter/message_log.h"
#include "interpreter/runner.h"
#include "scene/clock.h"
#include "scene/script_file.h"
#include "scene/trackball.h"
#include "scene/view_settings.h"

void resetSession() {
    resetViewSettings();
    resetTrackball();
    setSceneClock(0);
    chooseScriptFile("");
    resetRunner();
    resetLog();
    resetPrimitives();
    resetDisplayLists();
    resetNurbs();
    resetVertexArrays();
    resetTextures();
}

void startSession() {
    applyGraphicsDefaults();
    registerCommands();
    resetSession();
}

bool startHeadless(int width, int height, std::string& error) {
    if (!openOffscreen(width, height, error)) return false;
    setDrawingArea(width, height);
    startSession();
    return true;
}

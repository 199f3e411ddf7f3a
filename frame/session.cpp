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

#if defined(__SANITIZE_ADDRESS__)
#define CORVANE_ADDRESS_SANITIZER
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)   // clang's way of saying it, for the fuzzers
#define CORVANE_ADDRESS_SANITIZER
#endif
#endif

#ifdef CORVANE_ADDRESS_SANITIZER
// Every sanitized program starts here, so its sanitizer's defaults sit here too. The runtime
// takes a dynamic TLS block (the GL driver's threads make many) that happens to start 16 bytes
// into a page for an old C library's block with a header, and reads the words before it as the
// block's bounds; the leak check at exit then crashes now and then ("Tracer caught signal 11")
// in runs that leaked nothing. Not tracking dynamic TLS blocks leaves that guess out.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
#endif

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

// The interpreter under libFuzzer: each input is a script, run for three frames from a fresh
// session in a real GL context (Mesa under Xvfb), started exactly as the programs start. The
// first bytes choose the panel's tessellation, shading, wireframe and projection. After every
// frame the GL must be back where a frame leaves it: the client-array switches as Element
// believes them, no error pending, every stack at its depth. A difference aborts, so libFuzzer
// keeps the input.
#include <GL/gl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "commands/vertex_arrays.h"
#include "interpreter/gl_state.h"
#include "frame/offscreen.h"
#include "frame/session.h"
#include "scene/script_file.h"
#include "frame/frame.h"
#include "scene/clock.h"
#include "scene/view_settings.h"

namespace {
std::string scriptPath;   // the one scratch file every input is written to

// The stack depths a frame starts and ends at.
struct Depths {
    GLint modelview, projection, attributes, clientAttributes;
    bool operator==(const Depths&) const = default;
};

Depths depths() {
    return {glInteger(GL_MODELVIEW_STACK_DEPTH), glInteger(GL_PROJECTION_STACK_DEPTH),
            glInteger(GL_ATTRIB_STACK_DEPTH), glInteger(GL_CLIENT_ATTRIB_STACK_DEPTH)};
}

void expect(bool holds, const char* what, int frame) {
    if (holds) return;
    std::fprintf(stderr, "script_fuzzer: after frame %d: %s\n", frame, what);
    std::abort();
}

// The panel's settings, from the first byte: tessellation 4..128, shading, wireframe and the
// projection, as a user might have set them before the script was opened.
void applyPanel(std::uint8_t choice) {
    const int tessellations[] = {4, 8, 32, 128};
    panelViewSettings().tessellation = tessellations[choice & 3];
    panelViewSettings().smoothShading = (choice >> 2) & 1;
    panelViewSettings().wireframe = (choice >> 3) & 1;
    panelViewSettings().orthographic = (choice >> 4) & 1;
    if (choice & 0x20) panelViewSettings().orthoMin = panelViewSettings().orthoMax = {0, 0, 0};
    if (choice & 0x40) panelViewSettings().nearPlane = panelViewSettings().farPlane;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string error;
    if (!startHeadless(64, 64, error)) {
        std::fprintf(stderr, "script_fuzzer: %s\n", error.c_str());
        std::exit(2);
    }
    char directory[] = "/tmp/corvane-fuzz-XXXXXX";
    if (!mkdtemp(directory)) std::exit(2);
    scriptPath = std::string(directory) + "/input.txt";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    FILE* file = std::fopen(scriptPath.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data + 1, 1, size - 1, file);
    std::fclose(file);
    startSession();
    applyPanel(data[0]);
    chooseScriptFile(scriptPath);
    const Depths start = depths();
    for (int frame = 0; frame < 3; ++frame) {
        setSceneClock(0.02 * frame);
        drawFrame();
        expect(clientArraysMatchGl(), "the client-array switches differ from the GL's", frame);
        expect(glGetError() == GL_NO_ERROR, "a GL error is pending", frame);
        expect(depths() == start, "a matrix or attribute stack is not at its depth", frame);
    }
    return 0;
}

// The interpreter under libFuzzer: each input is a script, run for two frames from a fresh
// session in a real GL context (Mesa under Xvfb), with the sanitizers on.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/offscreen.h"
#include "tools/session.h"
#include "viewer/file_selection.h"
#include "viewer/frame.h"

namespace {
std::string scriptPath;   // the one scratch file every input is written to
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string error;
    if (!openOffscreen(64, 64, error)) {
        std::fprintf(stderr, "script_fuzzer: %s\n", error.c_str());
        std::exit(2);
    }
    char directory[] = "/tmp/corvane-fuzz-XXXXXX";
    if (!mkdtemp(directory)) std::exit(2);
    scriptPath = std::string(directory) + "/input.txt";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FILE* file = std::fopen(scriptPath.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    startSession();
    scriptFileName = scriptPath;
    drawFrame();
    setSceneClock(0.02);
    drawFrame();
    return 0;
}

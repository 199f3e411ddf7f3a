// corvane-render's options, its frames and its exit statuses:
// 0 the last frame ran cleanly, 1 it reported errors, 2 usage or environment trouble.
#include "tools/render_tool.h"

#include <stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "interpreter/command_table.h"
#include "interpreter/message_log.h"
#include "interpreter/script_location.h"
#include "tools/offscreen.h"
#include "viewer/file_selection.h"
#include "viewer/frame.h"

namespace {
constexpr const char* usage =
    "usage: corvane-render SCRIPT [-o OUT.png] [--size WxH] [--frames N] [--raw-log]\n";

constexpr const char* help =
    "Runs a scene script without a visible window, as the viewer's drawing area would show it.\n"
    "\n"
    "  SCRIPT          the scene script to run\n"
    "  -o OUT.png      write the last frame as an 8-bit RGB PNG\n"
    "  --size WxH      size of the drawing area (default 1000x512)\n"
    "  --frames N      run N frames (default 1); frame k runs at scene clock 0.02 * k\n"
    "  --raw-log       print the whole message log after the last frame on stderr, as is\n"
    "  --help          show this text\n"
    "\n"
    "Exit status: 0 when the last frame ran without error, 1 when it reported errors (each\n"
    "printed on stderr as SCRIPT:LINE:COLUMN: message), 2 for a usage error, when no display\n"
    "can be opened (run it under xvfb-run) or when the picture cannot be written.\n"
    "Standard output is left to the script.\n";

struct Options {
    std::string script;
    std::string output;
    int width = 1000;
    int height = 512;
    int frames = 1;
    bool rawLog = false;
};

int usageError(const std::string& reason) {
    std::cerr << "corvane-render: " << reason << "\n" << usage;
    return 2;
}

std::optional<int> parseCount(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < 0 || value > 1000000000) return {};
    return int(value);
}

bool parseSize(const std::string& text, Options& options) {
    auto x = text.find('x');
    if (x == std::string::npos) return false;
    auto w = parseCount(text.substr(0, x)), h = parseCount(text.substr(x + 1));
    if (!w || !h || *w == 0 || *h == 0) return false;
    options.width = *w;
    options.height = *h;
    return true;
}

// Returns an exit status when the arguments end the program (help or an error).
std::optional<int> parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--help" || arg == "-h") {
            std::cout << usage << "\n" << help;
            return 0;
        } else if (arg == "-o") {
            const char* v = value();
            if (!v || !*v) return usageError("-o needs a file name");
            options.output = v;
        } else if (arg == "--size") {
            const char* v = value();
            if (!v || !parseSize(v, options)) return usageError("--size needs WxH, both above 0");
        } else if (arg == "--frames") {
            const char* v = value();
            auto n = v ? parseCount(v) : std::nullopt;
            if (!n || *n == 0) return usageError("--frames needs a count of at least 1");
            options.frames = *n;
        } else if (arg == "--raw-log") {
            options.rawLog = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (options.script.empty()) {
            options.script = arg;
        } else {
            return usageError("only one script can be given");
        }
    }
    if (options.script.empty()) return usageError("no script given");
    return {};
}

void printDiagnostics(const std::string& script) {
    for (const LogMessage& message : logMessages())
        std::cerr << formatDiagnostic(script, message.offset, messageText(message)) << "\n";
}
}  // namespace

int renderMain(int argc, char** argv) {
    Options options;
    if (auto status = parseOptions(argc, argv, options)) return *status;

    std::string error;
    if (!openOffscreen(options.width, options.height, error)) {
        std::cerr << "corvane-render: " << error << "\n";
        return 2;
    }
    if (options.width > largestOffscreenSize() || options.height > largestOffscreenSize())
        return usageError("--size is larger than the GL's largest drawing area");
    fillCommandTable();
    scriptFileName = options.script;

    bool ran = true;
    for (int frame = 0; frame < options.frames; ++frame) {
        setSceneClock(0.02 * frame);
        ran = drawFrame();
    }
    std::cout.flush();

    if (!options.output.empty()) {
        std::vector<unsigned char> pixels = readFramePixels();
        if (!stbi_write_png(options.output.c_str(), options.width, options.height, 3,
                            pixels.data(), options.width * 3)) {
            std::cerr << "corvane-render: cannot write " << options.output << "\n";
            return 2;
        }
    }
    if (options.rawLog)
        std::cerr << logText();
    else if (!ran)
        printDiagnostics(options.script);
    return ran ? 0 : 1;
}

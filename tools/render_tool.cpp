// tools/: corvane-render: its options, its run and its picture checks. It uses frame/ and what
// lies below, never viewer/.
//
// corvane-render's run: files checked before any frame, the frames, the pictures and the
// reports. Exit statuses: 0 the last frame ran cleanly (and matched the reference), 1 it
// reported errors, 2 usage or environment trouble, 3 it ran cleanly but differs from the
// reference. Script errors outrank a difference: a broken scene says nothing about the picture.
#include "tools/render_tool.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "frame/capture.h"
#include "frame/frame.h"
#include "frame/offscreen.h"
#include "frame/session.h"
#include "frame/visible_text.h"
#include "interpreter/command_table.h"
#include "interpreter/message_log.h"
#include "interpreter/run_stats.h"
#include "interpreter/runner.h"
#include "interpreter/script_location.h"
#include "scene/clock.h"
#include "scene/script_file.h"
#include "scene/trackball.h"
#include "scene/view_settings.h"
#include "tools/model_export.h"
#include "tools/picture_compare.h"
#include "tools/render_options.h"
#include "tools/video_output.h"

namespace fs = std::filesystem;

namespace {
// What --stats reports about the frames run so far.
struct FrameTimes {
    int frames = 0;
    double totalSeconds = 0;
    double largestSeconds = 0;
};

// Every line the tool prints about the run, escaped: it may quote a script's words, a file
// name, an option's value or ffmpeg's messages, none of which may act on the terminal.
void printLines(const std::string& text) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) std::cerr << visibleText(line) << "\n";
}

int fail(const std::string& reason) {
    printLines("corvane-render: " + reason);
    return 2;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ignored;
    return fs::weakly_canonical(a, ignored) == fs::weakly_canonical(b, ignored);
}

// Refuses an output before any frame is run, so a long sequence does not fail at its end.
std::string unwritable(const std::string& path) {
    std::error_code ignored;
    fs::path directory = fs::path(path).parent_path();
    if (directory.empty()) directory = ".";
    if (!fs::is_directory(directory, ignored))
        return "cannot write " + path + ": there is no directory " + directory.string();
    if (fs::is_directory(path, ignored)) return "cannot write " + path + ": it is a directory";
    bool exists = fs::exists(path, ignored);
    if (::access(directory.c_str(), W_OK) != 0 || (exists && ::access(path.c_str(), W_OK) != 0))
        return "cannot write " + path + ": permission denied";
    return "";
}

std::string checkFiles(const RenderOptions& o, Picture& reference) {
    if (isVideo(o.output)) {
        if (auto why = unwritable(o.output.prefix); !why.empty()) return why;
        if (!o.reference.empty() && sameFile(o.output.prefix, o.reference))
            return "-o and --reference name the same file; the reference would be overwritten";
    }
    if (isModel(o.output)) {
        if (auto why = unwritable(o.output.prefix); !why.empty()) return why;
        if (outputExtension(o.output.prefix) == ".gltf")
            if (auto why = unwritable(fs::path(o.output.prefix).replace_extension(".bin")); !why.empty())
                return why;
    }
    if (writesPicture(o.output)) {
        std::string first = frameFileName(o.output, 0);
        if (auto why = unwritable(first); !why.empty()) return why;
        if (!o.reference.empty() && !isSequence(o.output) && sameFile(first, o.reference))
            return "-o and --reference name the same file; the reference would be overwritten";
    }
    if (!o.diff.empty()) {
        if (auto why = unwritable(o.diff); !why.empty()) return why;
        if (sameFile(o.diff, o.reference))
            return "--diff and --reference name the same file; the reference would be overwritten";
    }
    std::error_code ignored;
    if (!o.reference.empty() && !fs::exists(o.reference, ignored))
        return "cannot read reference " + o.reference + ": there is no such file";
    std::string why;
    if (!o.reference.empty() && !readPicture(o.reference, reference, why))
        return "cannot read reference " + o.reference + ": " + why;
    return "";
}

// The view the panel would show before the first frame; the drawing area's size stays.
void applyViewOptions(const RenderOptions& o) {
    setViewOptions(o.view);
    setTrackball(o.camera);
}

// Probes the GL's limits with a tiny drawing area before asking for the real one.
int openDrawingArea(const RenderOptions& o) {
    std::string error;
    if (!openOffscreen(1, 1, error)) return fail(error);
    int largest = largestOffscreenSize();
    if (o.width > largest || o.height > largest)
        return fail("--size is larger than the GL's largest drawing area (" +
                          std::to_string(largest) + "x" + std::to_string(largest) + ")");
    if (!startHeadless(o.width, o.height, error)) return fail(error);
    return 0;
}

Picture framePicture(const RenderOptions& o) { return {o.width, o.height, readFramePixels()}; }

void noteFrameTime(FrameTimes& times) {
    double seconds = lastRunSeconds();
    ++times.frames;
    times.totalSeconds += seconds;
    times.largestSeconds = std::max(times.largestSeconds, seconds);
}

void printStats(const FrameTimes& times) {
    const TapeFigures tape = tapeFigures();
    double mean = times.frames ? times.totalSeconds / times.frames : 0;
    std::cerr << std::fixed << std::setprecision(3) << "frames: " << times.frames << "\n"
              << "runScript time per frame: mean " << mean * 1000 << " ms, largest "
              << times.largestSeconds * 1000 << " ms\n"
              << "last frame: " << commandsDispatchedLastRun() << " commands dispatched, "
              << listsReplayedLastRun() << " display lists replayed\n"
              << "tape: " << (lastRunWasReplayed() ? "the last frame was replayed from it"
                                                   : "the last frame was read from the script")
              << "; it holds " << tape.bytes << " bytes, " << tape.plainCommands << " plain commands";
    if (tape.plainCommands > 0) std::cerr << " at " << tape.plainBytes / tape.plainCommands << " bytes each";
    std::cerr << "\n";
}

void printDiagnostics(const std::string& script) {
    for (const LogMessage& message : logMessages())
        printLines(formatDiagnostic(script, message.offset, messageText(message)));
}

// The last frame, captured and written as a model instead of drawn. Returns 2 when it cannot be
// written, else 0; ran tells whether the frame ran cleanly.
int exportModel(const RenderOptions& o, bool& ran) {
    CapturedScene scene;
    std::string error;
    std::vector<std::string> notes;
    ran = captureFrame(scene, error);
    if (!error.empty()) return fail("cannot export " + o.output.prefix + ": " + error);
    if (!writeModel(scene, o.output.prefix, notes, error)) return fail(error);
    for (const std::string& note : notes) printLines("corvane-render: note: " + note);
    return 0;
}

// Compares the last frame with the reference; true when they match.
bool matchesReference(const RenderOptions& o, const Picture& frame, const Picture& reference,
                      int& status) {
    Comparison comparison = comparePictures(frame, reference, o.tolerance);
    if (!o.diff.empty() && !writePicture(o.diff, differencePicture(frame, reference, o.tolerance)))
        status = fail("cannot write " + o.diff);
    if (!comparison.differs(o.threshold)) return true;
    printLines("corvane-render: " + describeDifference(comparison, frame, reference, o.reference,
                                                      o.tolerance, o.threshold));
    return false;
}
}  // namespace

int renderMain(int argc, char** argv) {
    // The command line and the files it names, before any GL.
    ParsedOptions parsed = parseRenderOptions({argv + 1, argv + argc});
    if (!parsed.help.empty()) {
        std::cout << parsed.help;
        return 0;
    }
    if (!parsed.error.empty()) return fail(parsed.error);
    for (const std::string& note : parsed.notes) printLines("corvane-render: note: " + note);
    const RenderOptions& options = parsed.options;
    Picture reference;
    if (std::string why = checkFiles(options, reference); !why.empty()) return fail(why);
    // ffmpeg starts before any frame, so that a missing one costs no rendering.
    VideoOutput video;
    std::string error;
    if (isVideo(options.output) && !video.open(options.output.prefix, options.width,
                                               options.height, options.fps, error))
        return fail(error);

    // The drawing area, the view and the script.
    if (int status = openDrawingArea(options)) return status;
    applyViewOptions(options);
    chooseScriptFile(options.script);
    allowTape(!options.reread);

    // The frames, each sequence picture or video frame written as soon as it is drawn.
    bool ran = true;
    FrameTimes times;
    setSceneClock(options.clock);
    for (int frame = 0; frame < options.frames; ++frame) {
        if (frame > 0) advanceSceneClock();
        if (isModel(options.output) && frame == options.frames - 1) {
            if (int status = exportModel(options, ran)) return status;
            noteFrameTime(times);
            break;
        }
        ran = drawFrame();
        noteFrameTime(times);
        bool wanted = isSequence(options.output) || isVideo(options.output)
                          ? frame % options.every == 0
                          : frame == options.frames - 1;
        if (wanted && writesPicture(options.output)) {
            std::string name = frameFileName(options.output, frame);
            if (!writePicture(name, framePicture(options)))
                return fail("cannot write " + name);
        }
        if (wanted && isVideo(options.output) && !video.write(readFramePixels())) break;
    }
    std::cout.flush();
    if (isVideo(options.output) && !video.finish(error)) return fail(error);

    // The reports: diagnostics, the comparison, the statistics.
    if (options.rawLog)
        for (const LogMessage& message : logMessages()) printLines(std::string(messageText(message)));
    else if (!ran)
        printDiagnostics(options.script);
    int status = ran ? 0 : 1;
    if (!options.reference.empty() &&
        !matchesReference(options, framePicture(options), reference, status) && status == 0)
        status = 3;
    if (options.stats) printStats(times);
    return status;
}

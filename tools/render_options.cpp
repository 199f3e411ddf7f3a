// corvane-render's options: one small reader per option, the option rows, and CLI11 reading the
// command line with them.
// Values the viewer's panel limits (field of view, tessellation, azimuth, zenith) are clamped
// to the panel's ranges as the panel does, with a note; every other bad value is refused.
// An -o name holding "%" is a frame-number pattern, checked here so that no user text ever
// reaches a printf-style call unchecked.
#include "tools/render_options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>

#include <CLI/CLI.hpp>

const char* const renderUsage =
    "usage: corvane-render SCRIPT [-o OUT.png|OUT.mp4|OUT.webm|OUT.gif] [--size WxH]\n"
    "       [--frames N] [--fps F] [--raw-log] [view options] [--clock S] [--every K]\n"
    "       [--reference REF.png [--tolerance T] [--threshold F] [--diff OUT.png]] [--check]\n"
    "       [--stats] [--reread]   (--help for details)\n";

const char* const renderHelp =
    "Runs a scene script without a visible window, as the viewer's drawing area would show it.\n"
    "\n"
    "  SCRIPT            the scene script to run\n"
    "  -o OUT.png        write the last frame as an 8-bit RGB PNG; a name with a frame-number\n"
    "                    field (frames/f%04d.png: one %d, %i or %u with optional flags, width\n"
    "                    and precision; %% for a percent sign) writes every frame, numbered\n"
    "                    from 0\n"
    "  -o OUT.mp4, OUT.webm, OUT.gif\n"
    "                    write every frame as a video, through the ffmpeg program (which must\n"
    "                    be on PATH); a GIF gets a palette made from its frames\n"
    "  --fps F           frames a second of a video, above 0 and at most 1000 (default 50,\n"
    "                    the viewer's 20 ms clock)\n"
    "  --every K         with a frame-number field or a video: write only frames whose number\n"
    "                    is a multiple of K\n"
    "  --size WxH        size of the drawing area (default 1000x512), at most the GL's\n"
    "                    largest viewport\n"
    "  --frames N        run N frames (default 1)\n"
    "  --clock S         scene clock of the first frame in seconds (default 0); each further\n"
    "                    frame adds 0.02, as the viewer's timer does\n"
    "  --raw-log         print the whole message log after the last frame on stderr, as is\n"
    "\n"
    "View, as the viewer's panel sets it before the first frame (a script's Perspective and\n"
    "Ortho commands may still change it; the trackball acts only through ViewTransform):\n"
    "  --orthographic    orthographic projection instead of perspective\n"
    "  --fov DEG         perspective field of view (default 50; panel range 0..180)\n"
    "  --near Z          perspective near distance (default 1)\n"
    "  --far Z           perspective far distance (default 100)\n"
    "  --ortho-box XMIN,YMIN,ZMIN,XMAX,YMAX,ZMAX\n"
    "                    orthographic box (default -50,-50,-50,50,50,50)\n"
    "  --flat            flat shading\n"
    "  --wireframe       polygons drawn as outlines\n"
    "  --tessellation N  subdivisions of curved shapes (default 32; panel range 4..128)\n"
    "  --distance D      trackball distance (default 30)\n"
    "  --azimuth RAD     trackball azimuth (default 0; panel range 0..6.2831855)\n"
    "  --zenith RAD      trackball zenith (default 1.5707964; panel range -3.1415927..3.1415927)\n"
    "  --center X,Y,Z    trackball centre (default 0,0,0)\n"
    "  Values beyond a panel range are clamped to it, as the panel does, with a note on stderr.\n"
    "\n"
    "Checks:\n"
    "  --reference REF.png  compare the last frame with REF.png: a pixel differs when one of\n"
    "                    its channels differs by more than the tolerance; the frame differs\n"
    "                    when the share of differing pixels exceeds the threshold, or when the\n"
    "                    sizes differ. A difference prints one line and exits with status 3.\n"
    "  --tolerance T     channel difference a matching pixel may have, 0..255 (default 8)\n"
    "  --threshold F     share of differing pixels a matching frame may have, 0..1\n"
    "                    (default 0.001, that is 0.1%)\n"
    "  --diff OUT.png    write the comparison, match or not: differing pixels in red over a\n"
    "                    dimmed grey copy of the frame\n"
    "  --check           run one frame and print the diagnostics only; no picture\n"
    "  --stats           print on stderr the number of frames, the mean and largest time of\n"
    "                    runScript per frame, the commands dispatched and display lists\n"
    "                    replayed by the last frame, and whether it was replayed from the tape\n"
    "  --reread          read the script from its file on every frame, as before the tape\n"
    "                    existed: for comparing the two; the pictures are the same\n"
    "  --help            show this text\n"
    "An option's value is the next word, or follows an equals sign: --size=800x600.\n"
    "\n"
    "Exit status: 0 when the last frame ran without error (and matched the reference), 1 when\n"
    "it reported errors (each printed on stderr as SCRIPT:LINE:COLUMN: message; the column\n"
    "counts bytes, a tab as one), 2 for a usage error or a bad option value, when there is\n"
    "nothing to draw with (no display and no Xvfb) or when a picture cannot be read or written,\n"
    "3 when the frame ran cleanly but differs from the reference.\n"
    "Standard output is left to the script.\n";

namespace {
constexpr float largestAzimuth = 6.2831855f;
constexpr float largestZenith = 3.1415927f;

// How one option's value is read into the options. Returns why the value is refused, or "".
using OptionReader = std::string (*)(const std::string& value, ParsedOptions& parsed);

struct OptionRow {
    const char* name;
    const char* valueName;   // null for a switch, which takes no value
    OptionReader read;
};

// Numbers are read whole, in the C locale's syntax: trailing text, blanks, NaN and infinities
// are all malformed.
std::optional<double> parseNumber(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return {};
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(value)) return {};
    return value;
}

std::optional<float> parseFloat(const std::string& text) {
    auto value = parseNumber(text);
    if (!value || !std::isfinite(float(*value))) return {};
    return float(*value);
}

std::optional<long> parseWhole(const std::string& text) {
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-'))
        return {};
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE) return {};
    return value;
}

std::optional<std::vector<float>> parseFloatList(const std::string& text, std::size_t count) {
    std::vector<float> values;
    std::string item;
    std::istringstream items(text + ",");
    while (std::getline(items, item, ',')) {
        auto value = parseFloat(item);
        if (!value) return {};
        values.push_back(*value);
    }
    if (values.size() != count || items.peek() != EOF) return {};
    return values;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string needs(const char* option, const char* what, const std::string& value) {
    return std::string(option) + " needs " + what + ", not " + quoted(value);
}

// The panel's spinners keep their values within these ranges; so does the tool.
template <typename T>
T clampLikePanel(const char* option, T value, T lowest, T highest, ParsedOptions& parsed) {
    T clamped = std::clamp(value, lowest, highest);
    if (clamped != value) {
        std::ostringstream note;
        note.precision(8);   // enough for the ranges' float ends, 6.2831855 and 3.1415927
        note << option << " " << value << " is beyond the panel's range " << lowest << ".."
             << highest << "; using " << clamped;
        parsed.notes.push_back(note.str());
    }
    return clamped;
}

// The frame-number field: flags, a width and a precision of at most two digits, and an
// integer conversion. Returns the field's length from `at` (at the "%"), or 0 when it is bad.
std::size_t fieldLength(const std::string& text, std::size_t at) {
    std::size_t i = at + 1;
    while (i < text.size() && std::string_view("-+ 0").find(text[i]) != std::string_view::npos) ++i;
    auto digits = [&] {
        std::size_t start = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        return i - start;
    };
    if (digits() > 2) return 0;
    if (i < text.size() && text[i] == '.' && (++i, digits() > 2)) return 0;
    if (i >= text.size() || std::string_view("diu").find(text[i]) == std::string_view::npos)
        return 0;
    return i + 1 - at;
}

std::string parseOutputName(const std::string& text, OutputName& name) {
    name = {};
    if (text.find('%') == std::string::npos) {
        name.prefix = text;
        return "";
    }
    std::string literal;
    bool haveField = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            literal += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '%') {
            literal += '%';
            ++i;
        } else {
            std::size_t length = fieldLength(text, i);
            if (length == 0 || haveField)
                return "-o " + quoted(text) + " may hold one frame-number field such as %04d "
                       "and %% for a percent sign, nothing else after a %";
            name.prefix = literal;
            name.field = text.substr(i, length);
            literal.clear();
            haveField = true;
            i += length - 1;
        }
    }
    if (!haveField)
        return "-o " + quoted(text) + " holds a % but no frame-number field such as %04d";
    name.suffix = literal;
    return "";
}

// The extensions -o knows; a name without one is a picture, as it always was.
bool hasExtension(const std::string& name, const char* extension) {
    std::string lower;
    for (char c : name) lower += char(std::tolower((unsigned char)c));
    return lower.size() >= std::strlen(extension) &&
           lower.compare(lower.size() - std::strlen(extension), std::string::npos, extension) == 0;
}

bool namesVideo(const std::string& name) {
    return hasExtension(name, ".mp4") || hasExtension(name, ".webm") || hasExtension(name, ".gif");
}

std::string extensionProblem(const std::string& text, const OutputName& name) {
    const std::string& last = isSequence(name) ? name.suffix : name.prefix;
    std::string file = last.substr(last.find_last_of('/') == std::string::npos ? 0 : last.find_last_of('/') + 1);
    if (isSequence(name) && namesVideo(last))
        return "-o " + quoted(text) + ": a video holds every frame, so its name takes no "
               "frame-number field";
    if (file.find('.') == std::string::npos || hasExtension(file, ".png") || namesVideo(file))
        return "";
    return "-o " + quoted(text) + " ends in an extension corvane-render does not write: use "
           ".png for pictures, or .mp4, .webm or .gif for a video";
}

std::string readOutput(const std::string& value, ParsedOptions& parsed) {
    if (value.empty()) return "-o needs a file name";
    if (std::string why = parseOutputName(value, parsed.options.output); !why.empty()) return why;
    return extensionProblem(value, parsed.options.output);
}

std::string readFps(const std::string& value, ParsedOptions& parsed) {
    auto fps = parseNumber(value);
    if (!fps || *fps <= 0 || *fps > 1000)
        return needs("--fps", "a number of frames a second, above 0 and at most 1000", value);
    parsed.options.fps = *fps;
    return "";
}

std::string readSize(const std::string& value, ParsedOptions& parsed) {
    auto x = value.find('x');
    std::optional<long> w, h;
    if (x != std::string::npos) w = parseWhole(value.substr(0, x)), h = parseWhole(value.substr(x + 1));
    if (!w || !h || *w <= 0 || *h <= 0 || *w > 1000000000 || *h > 1000000000)
        return "--size needs WxH, both above 0";
    parsed.options.width = int(*w);
    parsed.options.height = int(*h);
    return "";
}

std::string readFrames(const std::string& value, ParsedOptions& parsed) {
    auto n = parseWhole(value);
    if (!n || *n < 1 || *n > 1000000000) return "--frames needs a count of at least 1";
    parsed.options.frames = int(*n);
    return "";
}

std::string readEvery(const std::string& value, ParsedOptions& parsed) {
    auto n = parseWhole(value);
    if (!n || *n < 1 || *n > 1000000000) return needs("--every", "a count of at least 1", value);
    parsed.options.every = int(*n);
    return "";
}

std::string readClock(const std::string& value, ParsedOptions& parsed) {
    auto seconds = parseNumber(value);
    if (!seconds || *seconds < 0) return needs("--clock", "a number of seconds, 0 or more", value);
    parsed.options.clock = *seconds;
    return "";
}

std::string readRawLog(const std::string&, ParsedOptions& parsed) {
    parsed.options.rawLog = true;
    return "";
}

std::string readOrthographic(const std::string&, ParsedOptions& parsed) {
    parsed.options.view.orthographic = 1;
    return "";
}

std::string readFlat(const std::string&, ParsedOptions& parsed) {
    parsed.options.view.smoothShading = 0;
    return "";
}

std::string readWireframe(const std::string&, ParsedOptions& parsed) {
    parsed.options.view.wireframe = 1;
    return "";
}

std::string readFieldOfView(const std::string& value, ParsedOptions& parsed) {
    auto degrees = parseFloat(value);
    if (!degrees) return needs("--fov", "a number of degrees", value);
    parsed.options.view.fieldOfView = clampLikePanel("--fov", *degrees, 0.0f, 180.0f, parsed);
    return "";
}

// An option that takes any number, stored as given.
std::string readNumber(const char* option, const std::string& value, float& into) {
    auto number = parseFloat(value);
    if (!number) return needs(option, "a number", value);
    into = *number;
    return "";
}

std::string readNear(const std::string& value, ParsedOptions& parsed) {
    return readNumber("--near", value, parsed.options.view.nearPlane);
}

std::string readFar(const std::string& value, ParsedOptions& parsed) {
    return readNumber("--far", value, parsed.options.view.farPlane);
}

std::string readOrthoBox(const std::string& value, ParsedOptions& parsed) {
    auto box = parseFloatList(value, 6);
    if (!box) return needs("--ortho-box", "six numbers XMIN,YMIN,ZMIN,XMAX,YMAX,ZMAX", value);
    const std::vector<float>& b = *box;
    parsed.options.view.orthoMin = {b[0], b[1], b[2]};
    parsed.options.view.orthoMax = {b[3], b[4], b[5]};
    return "";
}

std::string readTessellation(const std::string& value, ParsedOptions& parsed) {
    auto n = parseWhole(value);
    if (!n || *n < -1000000000 || *n > 1000000000)
        return needs("--tessellation", "a whole number", value);
    parsed.options.view.tessellation = clampLikePanel("--tessellation", int(*n), 4, 128, parsed);
    return "";
}

std::string readDistance(const std::string& value, ParsedOptions& parsed) {
    return readNumber("--distance", value, parsed.options.camera.distance);
}

std::string readAzimuth(const std::string& value, ParsedOptions& parsed) {
    auto angle = parseFloat(value);
    if (!angle) return needs("--azimuth", "a number of radians", value);
    parsed.options.camera.azimuth = clampLikePanel("--azimuth", *angle, 0.0f, largestAzimuth, parsed);
    return "";
}

std::string readZenith(const std::string& value, ParsedOptions& parsed) {
    auto angle = parseFloat(value);
    if (!angle) return needs("--zenith", "a number of radians", value);
    parsed.options.camera.zenith =
        clampLikePanel("--zenith", *angle, -largestZenith, largestZenith, parsed);
    return "";
}

std::string readCenter(const std::string& value, ParsedOptions& parsed) {
    auto c = parseFloatList(value, 3);
    if (!c) return needs("--center", "three numbers X,Y,Z", value);
    parsed.options.camera.center = {(*c)[0], (*c)[1], (*c)[2]};
    return "";
}

std::string readReference(const std::string& value, ParsedOptions& parsed) {
    if (value.empty()) return "--reference needs a file name";
    parsed.options.reference = value;
    return "";
}

std::string readTolerance(const std::string& value, ParsedOptions& parsed) {
    auto t = parseWhole(value);
    if (!t || *t < 0 || *t > 255) return needs("--tolerance", "a whole number from 0 to 255", value);
    parsed.options.tolerance = int(*t);
    return "";
}

std::string readThreshold(const std::string& value, ParsedOptions& parsed) {
    auto share = parseNumber(value);
    if (!share || *share < 0 || *share > 1) return needs("--threshold", "a share from 0 to 1", value);
    parsed.options.threshold = *share;
    return "";
}

std::string readDiff(const std::string& value, ParsedOptions& parsed) {
    if (value.empty()) return "--diff needs a file name";
    parsed.options.diff = value;
    return "";
}

std::string readCheck(const std::string&, ParsedOptions& parsed) {
    parsed.options.check = true;
    return "";
}

std::string readStats(const std::string&, ParsedOptions& parsed) {
    parsed.options.stats = true;
    return "";
}

std::string readReread(const std::string&, ParsedOptions& parsed) {
    parsed.options.reread = true;
    return "";
}

// Options that only make sense together, checked once the whole line has been read.
std::string checkCombinations(const RenderOptions& o) {
    if (o.script.empty()) return "no script given";
    if (o.every != 1 && !isSequence(o.output) && !isVideo(o.output))
        return "--every needs an -o name with a frame-number field, such as frames/f%04d.png, "
               "or a video";
    if (o.fps != 50 && !isVideo(o.output))
        return "--fps needs an -o name that ends in .mp4, .webm or .gif";
    if (!o.diff.empty() && o.reference.empty()) return "--diff needs --reference";
    if (o.check && (writesPicture(o.output) || isVideo(o.output) || !o.reference.empty() ||
                    o.frames != 1))
        return "--check runs one frame and writes no picture: leave out -o, --frames and "
               "--reference";
    return "";
}

const OptionRow rows[] = {
    {"-o", "a file name", readOutput},
    {"--size", "WxH", readSize},
    {"--frames", "a count", readFrames},
    {"--fps", "a number of frames a second", readFps},
    {"--every", "a count", readEvery},
    {"--clock", "a number of seconds", readClock},
    {"--raw-log", nullptr, readRawLog},
    {"--orthographic", nullptr, readOrthographic},
    {"--fov", "a number of degrees", readFieldOfView},
    {"--near", "a number", readNear},
    {"--far", "a number", readFar},
    {"--ortho-box", "XMIN,YMIN,ZMIN,XMAX,YMAX,ZMAX", readOrthoBox},
    {"--flat", nullptr, readFlat},
    {"--wireframe", nullptr, readWireframe},
    {"--tessellation", "a whole number", readTessellation},
    {"--distance", "a number", readDistance},
    {"--azimuth", "a number of radians", readAzimuth},
    {"--zenith", "a number of radians", readZenith},
    {"--center", "X,Y,Z", readCenter},
    {"--reference", "a file name", readReference},
    {"--tolerance", "a whole number", readTolerance},
    {"--threshold", "a share", readThreshold},
    {"--diff", "a file name", readDiff},
    {"--check", nullptr, readCheck},
    {"--stats", nullptr, readStats},
    {"--reread", nullptr, readReread},
};

// Thrown from an option's callback to stop at the first refused value, as read in order.
struct Refused {
    std::string why;
};
struct HelpAsked {};

// CLI11 reads the words: options with their value as the next word or after "=", switches and
// the script. Each option's reader runs as soon as its word is read, so the first bad value in
// the line is the one reported, and a later value of the same option replaces an earlier one.
void addOptions(CLI::App& app, ParsedOptions& parsed) {
    app.set_help_flag();
    app.allow_extras();   // the script and unknown words come back in order, for our own messages
    app.add_flag_callback("-h,--help", [] { throw HelpAsked{}; })->trigger_on_parse();
    for (const OptionRow& row : rows) {
        auto read = [&parsed, &row](const std::string& value) {
            if (std::string why = row.read(value, parsed); !why.empty()) throw Refused{why};
        };
        if (row.valueName)
            app.add_option_function<std::string>(row.name, read)
                ->trigger_on_parse()
                ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
        else
            app.add_flag_callback(row.name, [read] { read(""); })->trigger_on_parse();
    }
}

// The words CLI11 did not take: the script, or an unknown option, or a second script.
std::string readRemaining(const std::vector<std::string>& remaining, RenderOptions& options) {
    for (const std::string& word : remaining) {
        if (word.size() > 1 && word[0] == '-') return "unknown option " + word;
        if (!options.script.empty()) return "only one script can be given";
        options.script = word;
    }
    return "";
}

// CLI11's own complaint about an option whose value is missing names the option first.
std::string missingValue(const std::string& complaint) {
    for (const OptionRow& row : rows)
        if (row.valueName && complaint.rfind(row.name, 0) == 0 &&
            complaint.size() > std::strlen(row.name) && complaint[std::strlen(row.name)] == ':')
            return std::string(row.name) + " needs " + row.valueName;
    return complaint;
}
}  // namespace

ParsedOptions parseRenderOptions(const std::vector<std::string>& arguments) {
    ParsedOptions parsed;
    CLI::App app;
    addOptions(app, parsed);
    // CLI11 takes the words last to first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
        parsed.error = readRemaining(app.remaining(), parsed.options);
    } catch (const HelpAsked&) {
        parsed.help = true;
        return parsed;
    } catch (const Refused& refused) {
        parsed.error = refused.why;
    } catch (const CLI::ParseError& error) {
        parsed.error = missingValue(error.what());
    }
    if (parsed.error.empty()) parsed.error = checkCombinations(parsed.options);
    return parsed;
}

bool writesPicture(const OutputName& name) {
    return (!name.prefix.empty() || isSequence(name)) && !isVideo(name);
}
bool isVideo(const OutputName& name) { return !isSequence(name) && namesVideo(name.prefix); }
bool isSequence(const OutputName& name) { return !name.field.empty(); }

std::string frameFileName(const OutputName& name, int frame) {
    if (!isSequence(name)) return name.prefix;
    // The field has been checked to be a single integer conversion of bounded width.
    char number[256];
    std::snprintf(number, sizeof number, name.field.c_str(), frame);
    return name.prefix + number + name.suffix;
}

// corvane-render's options, declared once with CLI11: name, value, check, help text and group.
// --help, the one-line errors ("OPTION: why", quoting the value) and the manual page's OPTIONS
// section all come from these declarations. Values the viewer's panel limits (field of view,
// tessellation, azimuth, zenith) are clamped to the panel's ranges as the panel does, with a
// note; every other value beyond its range is refused.
#include "tools/render_options.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>

#include "tools/option_text.h"

// The camera's centre as --center writes it, X,Y,Z; the value has been checked before.
static std::istream& operator>>(std::istream& in, Vec3f& v) {
    char comma;
    return in >> v.x >> comma >> v.y >> comma >> v.z;
}

namespace {
const char* const description =
    "Runs a scene script without a visible window, as the viewer's drawing area would show it.";
const char* const footer =
    "An option's value is the next word, or follows an equals sign: --size=800x600. -- ends the "
    "options.\n"
    "Exit status: 0 when the last frame ran without error (and matched the reference), 1 when it "
    "reported errors (each printed on stderr as SCRIPT:LINE:COLUMN: message; the column counts "
    "bytes, a tab as one), 2 for a bad command line, when there is nothing to draw with (no "
    "display and no Xvfb) or when a picture cannot be read or written, 3 when the frame ran "
    "cleanly but differs from the reference. Standard output is left to the script.";

struct DrawingSize { int width, height; };
std::istream& operator>>(std::istream& in, DrawingSize& size) {
    char x;
    return in >> size.width >> x >> size.height;
}

struct OrthoBox { Vec3f low, high; };
std::istream& operator>>(std::istream& in, OrthoBox& box) {
    char comma;
    return in >> box.low >> comma >> box.high;
}

// The shortest text that reads back as the same number.
template <typename T>
std::string shown(T value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}
std::string shown(const Vec3f& v) { return shown(v.x) + "," + shown(v.y) + "," + shown(v.z); }

std::string inQuotes(const std::string& text) { return "\"" + text + "\""; }

// A number as a person writes it, in the C locale: digits with an optional sign, point and
// exponent, and nothing before or after (no blanks, hex, inf or nan). A whole number has no
// point or exponent.
bool readDecimal(const std::string& text, bool whole, double& value) {
    if (whole && text.find_first_of(".eE") != std::string::npos) return false;
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    in >> std::noskipws >> value;
    return !in.fail() && in.peek() == EOF;
}

template <typename T>
std::string rangeText(T lowest, T highest) {
    if (highest == std::numeric_limits<T>::max())
        return lowest == std::numeric_limits<T>::lowest() ? "" : " of at least " + shown(lowest);
    return " from " + shown(lowest) + " to " + shown(highest);
}

// A number of T's kind from lowest to highest. Beyond them it is refused or, where notes are
// given, clamped as the panel's spinner clamps it, with a note. A good value is written back
// in the form CLI11 converts (a whole number in decimal, never read as octal or hex).
template <typename T>
CLI::Validator numberRule(const char* option, T lowest, T highest, std::vector<std::string>* notes) {
    return {[=](std::string& text) -> std::string {
                constexpr bool whole = std::is_integral_v<T>;
                const char* kind = whole ? "a whole number" : "a number";
                double value = 0;
                if (!readDecimal(text, whole, value) ||
                    (!whole && std::abs(value) > std::numeric_limits<T>::max()))
                    return inQuotes(text) + " is not " + kind;
                if constexpr (!whole) value = T(value);   // compared as the option will hold it
                bool beyond = value < lowest || value > highest;
                if (beyond && !notes) return inQuotes(text) + " is not " + kind + rangeText(lowest, highest);
                T kept = !beyond ? T(value) : value < lowest ? lowest : highest;
                if (beyond)
                    notes->push_back(std::string(option) + " " + text + " is beyond the panel's range " +
                                     shown(lowest) + ".." + shown(highest) + "; using " + shown(kept));
                text = shown(kept);
                return "";
            },
            ""};
}

// An option that reads a number into value; see numberRule.
template <typename T>
CLI::Option* number(CLI::App& app, const char* name, T& value, const char* type, std::string help,
                    T lowest = std::numeric_limits<T>::lowest(),
                    T highest = std::numeric_limits<T>::max(),
                    std::vector<std::string>* clampNotes = nullptr) {
    help += std::string("; ") + type + (std::is_integral_v<T> ? " is a whole number" : " is a number");
    help += clampNotes ? ", clamped to the panel's range " + shown(lowest) + ".." + shown(highest)
                       : rangeText(lowest, highest);
    return app.add_option(name, value, help)->type_name(type)->default_str(shown(value))
        ->transform(numberRule(name, lowest, highest, clampNotes));
}

// count numbers between separators: floats, or whole numbers of at least 1.
CLI::Validator numberList(std::size_t count, char separator, const std::string& what, bool whole) {
    return {[=](const std::string& text) -> std::string {
                std::istringstream items(text + separator);
                std::size_t found = 0;
                double value = 0;
                for (std::string item; std::getline(items, item, separator); ++found)
                    if (!readDecimal(item, whole, value) ||
                        (whole ? value < 1 || value > std::numeric_limits<int>::max()
                               : std::abs(value) > std::numeric_limits<float>::max()))
                        return inQuotes(text) + " is not " + what;
                return found == count ? "" : inQuotes(text) + " is not " + what;
            },
            ""};
}

// --check=yes or --flat=0 would read as on, or silently as off: a switch takes no value.
std::string takesNoValue(const std::string& given) {
    return given == "true" ? "" : "takes no value, not " + inQuotes(given);
}

std::string checkOutputName(const std::string& text) {
    OutputName name;
    return readOutputName(text, name);
}

void declareOptions(CLI::App& app, ParsedOptions& parsed, std::string& output) {
    RenderOptions& o = parsed.options;
    ViewSettings& v = o.view;
    Trackball& t = o.camera;
    std::vector<std::string>* notes = &parsed.notes;
    app.option_defaults()->group("Frames and pictures");
    app.add_option("SCRIPT", o.script, "the scene script to run")->required();
    app.add_option("-o", output,
                   "write the last frame as an 8-bit RGB PNG. A name with a frame-number field "
                   "(frames/f%04d.png: one %d, %i or %u with optional flags, width and precision; "
                   "%% for a percent sign) writes every frame, numbered from 0. A name ending in "
                   ".mp4, .webm or .gif writes every frame as a video through the ffmpeg program, "
                   "which must be on PATH; a GIF gets a palette made from its frames. A name "
                   "ending in .glb, .gltf, .obj or .stl writes the geometry the last frame drew "
                   "as a model.")
        ->type_name("OUT")
        ->transform([](std::string text) { return text.rfind('=', 0) == 0 ? text.substr(1) : text; })
        ->check(checkOutputName);
    number(app, "--fps", o.fps, "F", "frames a second of a video", 0.01, 1000.0);
    number(app, "--every", o.every, "K",
           "with a frame-number field or a video, write only the frames whose number is a "
           "multiple of K", 1);
    app.add_option_function<DrawingSize>("--size", [&o](const DrawingSize& s) {
           o.width = s.width;
           o.height = s.height;
       }, "size of the drawing area in pixels, at most the GL's largest viewport")
        ->type_name("WxH")->default_str(shown(o.width) + "x" + shown(o.height))
        ->check(numberList(2, 'x', "WxH, two whole numbers of at least 1", true));
    number(app, "--frames", o.frames, "N", "frames to run", 1);
    number(app, "--clock", o.clock, "S",
           "scene clock of the first frame in seconds; each further frame adds 0.02, as the "
           "viewer's timer does", 0.0);
    app.add_flag("--raw-log", o.rawLog,
                 "print the whole message log after the last frame on stderr");

    app.option_defaults()->group("View, as the viewer's panel sets it before the first frame");
    app.add_flag_callback("--orthographic", [&v] { v.orthographic = 1; },
                          "orthographic projection instead of perspective (a script's "
                          "Perspective and Ortho still change the projection)");
    number(app, "--fov", v.fieldOfView, "DEG", "perspective field of view in degrees",
           fieldOfViewRange.lowest, fieldOfViewRange.highest, notes);
    number(app, "--near", v.nearPlane, "Z", "perspective near distance");
    number(app, "--far", v.farPlane, "Z", "perspective far distance");
    app.add_option_function<OrthoBox>("--ortho-box", [&v](const OrthoBox& box) {
           v.orthoMin = box.low;
           v.orthoMax = box.high;
       }, "the orthographic box")
        ->type_name("XMIN,YMIN,ZMIN,XMAX,YMAX,ZMAX")
        ->default_str(shown(v.orthoMin) + "," + shown(v.orthoMax))
        ->check(numberList(6, ',', "six numbers XMIN,YMIN,ZMIN,XMAX,YMAX,ZMAX", false));
    app.add_flag_callback("--flat", [&v] { v.smoothShading = 0; }, "flat shading");
    app.add_flag_callback("--wireframe", [&v] { v.wireframe = 1; }, "polygons drawn as outlines");
    number(app, "--tessellation", v.tessellation, "N", "subdivisions of the curved solid shapes",
           tessellationRange.lowest, tessellationRange.highest, notes);
    number(app, "--distance", t.distance, "D", "trackball distance");
    number(app, "--azimuth", t.azimuth, "RAD", "trackball azimuth in radians, from +X toward +Z",
           azimuthRange.lowest, azimuthRange.highest, notes);
    number(app, "--zenith", t.zenith, "RAD", "trackball zenith in radians, from +Y",
           zenithRange.lowest, zenithRange.highest, notes);
    app.add_option("--center", t.center, "trackball centre, which the script's ViewTransform "
                   "looks at")
        ->type_name("X,Y,Z")->default_str(shown(t.center))
        ->check(numberList(3, ',', "three numbers X,Y,Z", false));

    app.option_defaults()->group("Checks");
    CLI::Option* reference = app.add_option(
        "--reference", o.reference,
        "compare the last frame with this PNG picture: a pixel differs when one of its channels "
        "differs by more than the tolerance; the frame differs when the share of differing "
        "pixels exceeds the threshold, or when the sizes differ. A difference prints one line "
        "and exits with status 3.")->type_name("REF.png");
    number(app, "--tolerance", o.tolerance, "T",
           "channel difference a matching pixel may have", 0, 255);
    number(app, "--threshold", o.threshold, "F",
           "share of differing pixels a matching frame may have", 0.0, 1.0);
    app.add_option("--diff", o.diff, "write the comparison, match or not: differing pixels in "
                   "red over a dimmed grey copy of the frame")
        ->type_name("OUT.png")->needs(reference);
    app.add_flag("--check", o.check, "run one frame and print its diagnostics; no picture")
        ->excludes("-o")->excludes("--frames")->excludes(reference);
    app.add_flag("--stats", o.stats,
                 "print on stderr the number of frames, the mean and largest time of the script's "
                 "run per frame, the commands dispatched and display lists replayed by the last "
                 "frame, and whether it was replayed from the tape");
    app.add_flag("--reread", o.reread,
                 "read the script from its file on every frame, where an unchanged script is "
                 "otherwise replayed from its tape; the pictures are the same, and --stats shows "
                 "what each way costs");
    app.set_help_flag("-h,--help", "show this text");
    app.set_help_all_flag("--help-man", "")->group("");   // the manual page's OPTIONS, in roff

    for (CLI::Option* option : app.get_options()) {
        option->trigger_on_parse();   // checked in the order given, a later value replacing
        if (option->get_expected_max() == 0) option->check(takesNoValue);
    }
}

// Options that only make sense together, checked once the whole line has been read.
std::string checkCombinations(const CLI::App& app, const RenderOptions& o) {
    if (app.count("--every") && !isSequence(o.output) && !isVideo(o.output))
        return "--every needs an -o name with a frame-number field, such as frames/f%04d.png, "
               "or a video";
    if (app.count("--fps") && !isVideo(o.output))
        return "--fps needs an -o name that ends in .mp4, .webm or .gif";
    if (app.count("--reference") && isModel(o.output))
        return "--reference compares pictures: -o " + o.output.prefix + " writes a model";
    return "";
}
}  // namespace

ParsedOptions parseRenderOptions(const std::vector<std::string>& arguments) {
    ParsedOptions parsed;
    CLI::App app(description, "corvane-render");
    app.footer(footer);
    useHelpLayout(app);
    std::string output;
    declareOptions(app, parsed, output);
    try {
        app.parse(std::vector<std::string>(arguments.rbegin(), arguments.rend()));   // last first
        if (!output.empty()) readOutputName(output, parsed.options.output);
        parsed.error = checkCombinations(app, parsed.options);
    } catch (const CLI::CallForHelp&) {
        parsed.help = app.help();
    } catch (const CLI::CallForAllHelp&) {
        parsed.help = manualOptions(app);
    } catch (const CLI::ParseError& error) {
        parsed.error = error.what();
    }
    return parsed;
}

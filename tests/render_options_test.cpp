// corvane-render's command line, parsed in-process: what each option sets, the panel's clamps,
// frame-number patterns and every refusal.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/render_options.h"

namespace {
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> result;
    std::istringstream in(line);
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

std::string vec(const Vec3f& v) {
    std::ostringstream text;
    text << v.x << "," << v.y << "," << v.z;
    return text.str();
}

// The options that differ from the defaults, as "key=value" words after the script.
std::string describe(const RenderOptions& o) {
    const RenderOptions d;
    std::ostringstream text;
    text.precision(8);
    text << o.script;
    auto put = [&](const char* key, const auto& value, const auto& start) {
        if (value != start) text << " " << key << "=" << value;
    };
    if (writesPicture(o.output))
        text << " out=" << o.output.prefix << "|" << o.output.field << "|" << o.output.suffix;
    put("size", std::to_string(o.width) + "x" + std::to_string(o.height), std::string("1000x512"));
    put("frames", o.frames, d.frames);
    put("every", o.every, d.every);
    put("clock", o.clock, d.clock);
    put("rawLog", o.rawLog, d.rawLog);
    put("check", o.check, d.check);
    put("stats", o.stats, d.stats);
    put("reference", o.reference, d.reference);
    put("diff", o.diff, d.diff);
    put("tolerance", o.tolerance, d.tolerance);
    put("threshold", o.threshold, d.threshold);
    put("orthographic", o.view.orthographic, d.view.orthographic);
    put("fov", o.view.fieldOfView, d.view.fieldOfView);
    put("near", o.view.nearPlane, d.view.nearPlane);
    put("far", o.view.farPlane, d.view.farPlane);
    put("orthoMin", vec(o.view.orthoMin), vec(d.view.orthoMin));
    put("orthoMax", vec(o.view.orthoMax), vec(d.view.orthoMax));
    put("smooth", o.view.smoothShading, d.view.smoothShading);
    put("wireframe", o.view.wireframe, d.view.wireframe);
    put("tessellation", o.view.tessellation, d.view.tessellation);
    put("distance", o.camera.distance, d.camera.distance);
    put("azimuth", o.camera.azimuth, d.camera.azimuth);
    put("zenith", o.camera.zenith, d.camera.zenith);
    put("center", vec(o.camera.center), vec(d.camera.center));
    return text.str();
}

struct Accepted {
    const char* line;
    const char* options;   // describe() of the result
    const char* notes;     // the clamp notes, one per line
};

TEST(RenderOptions, EveryOptionSetsItsValue) {
    const Accepted cases[] = {
        {"s.txt", "s.txt", ""},
        {"-o out.png s.txt", "s.txt out=out.png||", ""},
        {"s.txt -o frames/f%04d.png --every 5 --frames 20",
         "s.txt out=frames/f|%04d|.png frames=20 every=5", ""},
        {"s.txt -o 100%%_%-3.2i%%.png", "s.txt out=100%_|%-3.2i|%.png", ""},
        {"s.txt --size 64x48 --raw-log", "s.txt size=64x48 rawLog=1", ""},
        {"s.txt --clock 1.5", "s.txt clock=1.5", ""},
        {"s.txt --clock 0", "s.txt", ""},
        {"s.txt --orthographic --ortho-box -1,-2,-3,4,5,6",
         "s.txt orthographic=1 orthoMin=-1,-2,-3 orthoMax=4,5,6", ""},
        {"s.txt --fov 20 --near 0.5 --far 1e3", "s.txt fov=20 near=0.5 far=1000", ""},
        {"s.txt --flat --wireframe --tessellation 4", "s.txt smooth=0 wireframe=1 tessellation=4", ""},
        {"s.txt --tessellation 128", "s.txt tessellation=128", ""},
        {"s.txt --distance -2.5 --azimuth 6.2831855 --zenith -3.1415927 --center 1,-2,3.5",
         "s.txt distance=-2.5 azimuth=6.2831855 zenith=-3.1415927 center=1,-2,3.5", ""},
        {"s.txt --reference r.png --tolerance 0 --threshold 0 --diff d.png",
         "s.txt reference=r.png diff=d.png tolerance=0 threshold=0", ""},
        {"s.txt --reference r.png --tolerance 255 --threshold 1",
         "s.txt reference=r.png tolerance=255 threshold=1", ""},
        {"--check --stats s.txt", "s.txt check=1 stats=1", ""},
        {"s.txt --fov 30 --fov 40", "s.txt fov=40", ""},   // the last one counts
        {"s.txt --size=64x48 --fov=20 --center=1,2,3", "s.txt size=64x48 fov=20 center=1,2,3", ""},
        {"s.txt -o=out.png", "s.txt out=out.png||", ""},
        {"s.txt --frames 010 --tolerance 007", "s.txt frames=10 tolerance=7", ""},   // not octal
        {"--check -- -s.txt", "-s.txt check=1", ""},
        {"s.txt --check=true", "s.txt check=1", ""},
        // Beyond the panel's ranges: clamped like the panel's spinners, with a note.
        {"s.txt --fov 200", "s.txt fov=180",
         "--fov 200 is beyond the panel's range 0..180; using 180\n"},
        {"s.txt --fov -5", "s.txt fov=0", "--fov -5 is beyond the panel's range 0..180; using 0\n"},
        {"s.txt --tessellation 99999999999", "s.txt tessellation=128",
         "--tessellation 99999999999 is beyond the panel's range 4..128; using 128\n"},
        {"s.txt --tessellation 2 --tessellation 500", "s.txt tessellation=128",
         "--tessellation 2 is beyond the panel's range 4..128; using 4\n"
         "--tessellation 500 is beyond the panel's range 4..128; using 128\n"},
        {"s.txt --azimuth 7 --zenith 3.5", "s.txt azimuth=6.2831855 zenith=3.1415927",
         "--azimuth 7 is beyond the panel's range 0..6.2831855; using 6.2831855\n"
         "--zenith 3.5 is beyond the panel's range -3.1415927..3.1415927; using 3.1415927\n"},
        {"s.txt --azimuth -0.5 --zenith -4", "s.txt zenith=-3.1415927",
         "--azimuth -0.5 is beyond the panel's range 0..6.2831855; using 0\n"
         "--zenith -4 is beyond the panel's range -3.1415927..3.1415927; using -3.1415927\n"},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(c.line);
        ParsedOptions parsed = parseRenderOptions(words(c.line));
        EXPECT_EQ(parsed.error, "");
        EXPECT_EQ(parsed.help, "");
        EXPECT_EQ(describe(parsed.options), c.options);
        std::string notes;
        for (const std::string& note : parsed.notes) notes += note + "\n";
        EXPECT_EQ(notes, c.notes);
    }
    EXPECT_EQ(parseRenderOptions(words("s.txt --size 0x0 --help")).help, "");
    EXPECT_NE(parseRenderOptions(words("--check --help")).help, "");
}

struct Refused {
    const char* line;
    const char* error;
};

// One line each, naming the option and quoting the value; the same for every option of a kind.
TEST(RenderOptions, EveryBadValueIsRefused) {
    const Refused cases[] = {
        {"", "SCRIPT is required"},
        {"a.txt b.txt", "The following argument was not expected: b.txt"},
        {"s.txt --bogus=3", "The following argument was not expected: --bogus=3"},
        {"s.txt --size", "--size: 1 required WxH missing"},
        {"s.txt --size=", "--size: 1 required WxH missing"},
        {"s.txt -o ''", "-o: needs a file name"},   // stands for itself: see below
        {"s.txt -o=", "-o: needs a file name"},
        {"s.txt --size 0x10", "--size: \"0x10\" is not WxH, two whole numbers of at least 1"},
        {"s.txt --size 10", "--size: \"10\" is not WxH, two whole numbers of at least 1"},
        {"s.txt --size 1.5x10", "--size: \"1.5x10\" is not WxH, two whole numbers of at least 1"},
        {"s.txt --frames 0", "--frames: \"0\" is not a whole number of at least 1"},
        {"s.txt --frames 0x10", "--frames: \"0x10\" is not a whole number"},
        {"s.txt --frames 99999999999999999999",
         "--frames: \"99999999999999999999\" is not a whole number of at least 1"},
        {"s.txt -o f%d.png --every 0", "--every: \"0\" is not a whole number of at least 1"},
        {"s.txt --fps 1e-7 -o v.mp4", "--fps: \"1e-7\" is not a number from 0.01 to 1000"},
        {"s.txt --clock -1", "--clock: \"-1\" is not a number of at least 0"},
        {"s.txt --clock nan", "--clock: \"nan\" is not a number"},
        {"s.txt --fov inf", "--fov: \"inf\" is not a number"},
        {"s.txt --fov 1e39", "--fov: \"1e39\" is not a number"},
        {"s.txt --near 1,5", "--near: \"1,5\" is not a number"},
        {"s.txt --zenith", "--zenith: 1 required RAD missing"},
        {"s.txt --ortho-box 1,2,3,4,5,",
         "--ortho-box: \"1,2,3,4,5,\" is not six numbers XMIN,YMIN,ZMIN,XMAX,YMAX,ZMAX"},
        {"s.txt --tessellation 8.5", "--tessellation: \"8.5\" is not a whole number"},
        {"s.txt --center 1,,3", "--center: \"1,,3\" is not three numbers X,Y,Z"},
        {"s.txt --tolerance 256", "--tolerance: \"256\" is not a whole number from 0 to 255"},
        {"s.txt --threshold 5%", "--threshold: \"5%\" is not a number"},
        {"s.txt --check=yes", "--check: takes no value, not \"yes\""},
        {"s.txt --orthographic=0", "--orthographic: takes no value, not \"0\""},
        // Options that need or exclude others; --every and --fps given at all, even with the
        // value they would have anyway.
        {"s.txt --every 1",
         "--every needs an -o name with a frame-number field, such as frames/f%04d.png, or a "
         "video"},
        {"s.txt -o f.png --fps 50", "--fps needs an -o name that ends in .mp4, .webm or .gif"},
        {"s.txt --diff d.png", "--diff requires --reference"},
        {"s.txt --check -o x.png", "-o excludes --check"},
        {"s.txt --frames 3 --check", "--frames excludes --check"},
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<std::string> arguments = words(c.line);
        for (std::string& a : arguments)
            if (a == "''") a.clear();
        EXPECT_EQ(parseRenderOptions(arguments).error, c.error);
    }
}

struct Pattern {
    const char* name;
    const char* frame7;   // the name of frame 7, or null when the name is refused
};

// User text reaches snprintf only as a checked integer field: anything else is refused.
TEST(RenderOptions, FrameNumberPatterns) {
    const Pattern cases[] = {
        {"out.png", "out.png"},
        {"f%d.png", "f7.png"},
        {"frames/f%04d.png", "frames/f0007.png"},
        {"f%-4d|.png", "f7   |.png"},
        {"f%+d.png", "f+7.png"},
        {"f% 3u.png", "f  7.png"},
        {"f%.3i.png", "f007.png"},
        {"%%%d%%.png", "%7%.png"},
        {"%d", "7"},
        {"f%s.png", nullptr},
        {"f%n.png", nullptr},
        {"f%x.png", nullptr},
        {"f%ld.png", nullptr},
        {"f%5.2f.png", nullptr},
        {"f%*d.png", nullptr},
        {"f%100d.png", nullptr},
        {"f%.100d.png", nullptr},
        {"f%d%d.png", nullptr},
        {"f%d_%s.png", nullptr},
        {"50%.png", nullptr},
        {"f%", nullptr},
        {"f%%.png", nullptr},   // a % but no field
        {"f%#d.png", nullptr},
        {"f%'d.png", nullptr},
    };
    for (const Pattern& c : cases) {
        SCOPED_TRACE(c.name);
        ParsedOptions parsed = parseRenderOptions({"s.txt", "-o", c.name});
        if (c.frame7) {
            EXPECT_EQ(parsed.error, "");
            EXPECT_EQ(frameFileName(parsed.options.output, 7), c.frame7);
        } else {
            EXPECT_NE(parsed.error, "");
            EXPECT_NE(parsed.error.find(c.name), std::string::npos);
        }
    }
    ParsedOptions wide = parseRenderOptions({"s.txt", "-o", "f%099d.png"});
    EXPECT_EQ(frameFileName(wide.options.output, 123), "f" + std::string(96, '0') + "123.png");
}
}  // namespace

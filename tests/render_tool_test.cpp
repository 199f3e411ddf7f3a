// corvane-render as a user runs it: exit statuses, diagnostics, the raw log, the pictures, the
// view options, sequences, reference checks, --check and --stats.
#include <gtest/gtest.h>
#include <stb_image.h>

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "interpreter/command_table.h"
#include "tools/picture_compare.h"
#include "tests/scratch.h"

namespace {
struct Result {
    int status;
    std::string out, err;
};

class RenderToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory = makeScratchDirectory("corvane-render-");
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::string write(const std::string& name, const std::string& text) {
        return writeFile(directory + "/" + name, text);
    }
    Result render(const std::string& arguments, const std::string& environment = "") {
        std::string out = directory + "/stdout", err = directory + "/stderr";
        std::string command = environment + " " CORVANE_RENDER " " + arguments + " >" + out +
                              " 2>" + err;
        int status = std::system(command.c_str());
        return {WEXITSTATUS(status), slurp(out), slurp(err)};
    }
    Picture picture(const std::string& path) {
        Picture p;
        std::string error;
        EXPECT_TRUE(readPicture(path, p, error)) << path << ": " << error;
        return p;
    }
    // "$F" in a message stands for the script's file name.
    static std::string expand(std::string text, const std::string& file) {
        for (auto at = text.find("$F"); at != std::string::npos; at = text.find("$F", at + file.size()))
            text.replace(at, 2, file);
        return text;
    }
    std::string directory;
};

// A refusal is one line, without the usage or the help after it.
bool oneLine(const std::string& err) {
    return err.rfind("corvane-render: ", 0) == 0 && err.find('\n') == err.size() - 1;
}

TEST_F(RenderToolTest, ExitStatusAndDiagnostics) {
    std::string good = write("good.txt", "Translate 0 0 -5\nBox\n");
    Result r = render(good);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");

    std::string bad = write("bad.txt", "Box\r\n\tFoo 1\nTranslate 1 x\n{\n");
    r = render(bad);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, bad + ":2:2: Unknown command \"Foo\"\n" + bad + ":2:6: Unknown command \"1\"\n" +
                         bad + ":3:1: Problems parsing arguments to Translate\n");

    r = render(bad + " --raw-log");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Unknown command \"Foo\"\nUnknown command \"1\"\n"
                     "Problems parsing arguments to Translate\n");
    r = render(good + " --raw-log");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");

    r = render(directory + "/missing.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, directory + "/missing.txt:1:1: Cannot open: " + directory + "/missing.txt\n");
}

TEST_F(RenderToolTest, UsageErrorsAndHelp) {
    std::string good = write("good.txt", "Box\n");
    for (const std::string& arguments :
         {std::string(""), "--size 0x10 " + good, "--size 10 " + good, "--frames 0 " + good,
          "--frames -3 " + good, "--bogus " + good, good + " " + good, good + " -o"}) {
        SCOPED_TRACE(arguments);
        Result r = render(arguments);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(oneLine(r.err)) << r.err;
    }
    Result r = render("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--raw-log"), std::string::npos);
    r = render(good + " -o " + directory + "/no/such/dir/x.png");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos);
}

// Without a display the tool starts an X server of its own; when it has nothing to draw with it
// says what is missing in one line. A display that does not open counts as none.
TEST_F(RenderToolTest, DrawsWithoutADisplayOrSaysWhatIsMissing) {
    std::string good = write("good.txt", "Box\n");
    EXPECT_EQ(render(good, "env -u DISPLAY").status, 0);
    EXPECT_EQ(render(good, "env DISPLAY=:4095").status, 0);
    Result r = render(good, "env -u DISPLAY PATH=" + directory);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "corvane-render: no display to draw on, and no Xvfb to start one: install "
                     "the xvfb package (apt install xvfb) or set DISPLAY\n");
    write("Xvfb", "#!/bin/sh\nexit 3\n");
    std::filesystem::permissions(directory + "/Xvfb", std::filesystem::perms::owner_all);
    r = render(good, "env -u DISPLAY PATH=" + directory);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "corvane-render: no display to draw on, and the X server Xvfb stopped as it "
                     "started (status 3); set DISPLAY to a display that opens\n");
}

TEST_F(RenderToolTest, WritesTheLastFrameTopRowFirst) {
    // A red quad-like box in the upper half of the picture, unlit.
    std::string script = write("scene.txt",
                               "AmbientColor 1 0 0\nDiffuseColor 0 0 0\nTranslate 0 1.5 -6\n"
                               "Scale 4 2 1\nBox\n");
    std::string png = directory + "/out.png";
    Result r = render(script + " --size 64x48 -o " + png);
    ASSERT_EQ(r.status, 0) << r.err;
    int w = 0, h = 0, channels = 0;
    unsigned char* pixels = stbi_load(png.c_str(), &w, &h, &channels, 3);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 48);
    EXPECT_EQ(channels, 3);
    auto at = [&](int x, int y) { return pixels + 3 * (y * w + x); };
    EXPECT_GT(at(32, 8)[0], 40);    // top half: the box
    EXPECT_EQ(at(32, 8)[2], 0);
    EXPECT_EQ(at(32, 44)[0], 0);    // bottom rows: background
    EXPECT_EQ(at(32, 44)[2], 51);
    stbi_image_free(pixels);
}

TEST_F(RenderToolTest, FramesAdvanceTheClock) {
    // At frame 50 (clock 1.0) the box has moved out of view; at frame 0 it is in the middle.
    std::string script = write("move.txt", "Translate 0 0 -5\nTranslateIncremental 10 0 0 100\nBox\n");
    std::string png = directory + "/out.png";
    ASSERT_EQ(render(script + " --size 32x32 --frames 51 -o " + png).status, 0);
    int w, h, c;
    unsigned char* pixels = stbi_load(png.c_str(), &w, &h, &c, 3);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[3 * (16 * 32 + 16) + 2], 51);   // background in the middle
    stbi_image_free(pixels);
}
}  // namespace

namespace {
bool isBackground(const Picture& p, int x, int y) {
    const unsigned char* at = &p.rgb[(std::size_t(y) * p.width + x) * 3];
    return at[0] == 0 && at[1] == 0 && at[2] == 51;
}

int redPixels(const Picture& p) {
    int count = 0;
    for (std::size_t i = 0; i < p.rgb.size(); i += 3)
        count += p.rgb[i] == 255 && p.rgb[i + 1] == 0 && p.rgb[i + 2] == 0;
    return count;
}

struct ViewCase {
    const char* script;
    const char* options;
    int x, y;          // picture coordinates, top row 0, in a 64x64 picture
    bool drawn;
};

// The panel's values reach the first frame, and ViewTransform uses the trackball's.
TEST_F(RenderToolTest, ViewOptionsSetTheFirstFrame) {
    const char* atOrigin = "ViewTransform\nBox\n";
    const ViewCase cases[] = {
        {atOrigin, "", 32, 32, true},
        {atOrigin, "", 32, 16, false},
        {atOrigin, "--distance 2", 32, 16, true},
        {atOrigin, "--fov 1", 32, 16, true},
        {atOrigin, "--near 40", 32, 32, false},
        {atOrigin, "--far 20", 32, 32, false},
        {atOrigin, "--center 0,20,0", 32, 32, false},
        {atOrigin, "--distance 2", 50, 30, true},
        {atOrigin, "--wireframe --distance 2", 50, 30, false},
        {atOrigin, "--orthographic --ortho-box -1,-1,-50,1,1,50", 32, 20, true},
        {atOrigin, "--orthographic --ortho-box -1,-1,-50,1,1,50", 32, 4, false},
        {atOrigin, "--ortho-box -1,-1,-50,1,1,50", 32, 20, false},   // perspective still
        {"ViewTransform\nTranslate 0 0 5\nBox\n", "", 32, 32, false},
        {"ViewTransform\nTranslate 0 0 5\nBox\n", "--azimuth 1.5707964", 32, 32, true},
        {"ViewTransform\nTranslate 10 0 0\nBox\n", "", 32, 32, true},
        {"ViewTransform\nTranslate 10 0 0\nBox\n", "--zenith 0.5", 32, 32, false},
        {"Translate 0 0 -5\nBox\n", "--center 0,20,0 --azimuth 2", 32, 32, true},   // no ViewTransform
    };
    for (const ViewCase& c : cases) {
        SCOPED_TRACE(std::string(c.script) + " " + c.options);
        std::string script = write("view.txt", c.script), png = directory + "/view.png";
        Result r = render(script + " --size 64x64 -o " + png + " " + c.options);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(isBackground(picture(png), c.x, c.y), !c.drawn);
    }
}

struct ChangeCase {
    const char* script;
    const char* options;   // each changes the picture against the same script without them
};

TEST_F(RenderToolTest, ShadingTessellationAndClockChangeThePicture) {
    const ChangeCase cases[] = {
        {"Translate 0 0 -4\nSphere\n", "--flat"},
        {"Translate 0 0 -4\nSphere\n", "--tessellation 4"},
        {"Translate 0 0 -4\nCone\n", "--tessellation 128"},
        {"Translate 0 0 -6\nRotateIncremental 90 0 0 1 10\nScale 2 0.6 1\nBox\n", "--clock 0.5"},
    };
    for (const ChangeCase& c : cases) {
        SCOPED_TRACE(std::string(c.script) + " " + c.options);
        std::string script = write("scene.txt", c.script);
        std::string plain = directory + "/plain.png", changed = directory + "/changed.png";
        ASSERT_EQ(render(script + " --size 64x64 -o " + plain).status, 0);
        ASSERT_EQ(render(script + " --size 64x64 -o " + changed + " " + c.options).status, 0);
        EXPECT_GT(comparePictures(picture(changed), picture(plain), 8).differing, 0);
    }
}

// A rotation with a period of ten frames: the frames of one period all differ, and the next
// periods repeat them exactly.
TEST_F(RenderToolTest, SequenceOfAnIncrementalRotation) {
    std::string script = write("spin.txt", "Translate 0 0 -6\nRotateIncremental 450 0 0 1 0.2\n"
                                           "Scale 2 0.6 1\nBox\n");
    std::filesystem::create_directory(directory + "/frames");
    Result r = render(script + " --size 48x48 --frames 25 -o " + directory + "/frames/f%03d.png");
    ASSERT_EQ(r.status, 0) << r.err;
    int written = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory + "/frames"))
        written += entry.is_regular_file();
    EXPECT_EQ(written, 25);
    auto frame = [&](int n) {
        char name[32];
        std::snprintf(name, sizeof name, "/frames/f%03d.png", n);
        return picture(directory + name);
    };
    std::vector<Picture> period;
    for (int n = 0; n < 10; ++n) period.push_back(frame(n));
    for (int a = 0; a < 10; ++a)
        for (int b = a + 1; b < 10; ++b)
            EXPECT_TRUE(comparePictures(period[a], period[b], 8).differs(0.001)) << a << " " << b;
    for (int n = 10; n < 25; ++n) EXPECT_EQ(frame(n).rgb, period[n % 10].rgb) << n;

    // --every: only multiples of K, named by their frame numbers; --clock starts later.
    std::filesystem::create_directory(directory + "/every");
    r = render(script + " --size 48x48 --frames 10 --every 4 -o " + directory + "/every/e%d.png");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory + "/every"))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"e0.png", "e4.png", "e8.png"}));
    EXPECT_EQ(picture(directory + "/every/e8.png").rgb, period[8].rgb);
    r = render(script + " --size 48x48 --clock 0.06 --frames 2 -o " + directory + "/late.png");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(picture(directory + "/late.png").rgb, period[4].rgb);
}

TEST_F(RenderToolTest, ReferenceCheck) {
    std::string scene = write("scene.txt", "Translate 0 0 -6\nScale 2 0.6 1\nBox\n");
    std::string changed = write("changed.txt", "Translate 0 0 -6\nScale 2 0.8 1\nBox\n");
    std::string ref = directory + "/ref.png", diff = directory + "/diff.png";
    ASSERT_EQ(render(scene + " --size 64x64 -o " + ref).status, 0);

    // Against its own output: a match, nothing said, the diff all grey.
    Result r = render(scene + " --size 64x64 --reference " + ref + " --diff " + diff);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(redPixels(picture(diff)), 0);

    // Against a changed scene: status 3, one line, the differing pixels red in the diff.
    r = render(changed + " --size 64x64 --reference " + ref + " --diff " + diff);
    EXPECT_EQ(r.status, 3);
    std::smatch m;
    std::regex line("corvane-render: the frame differs from " + ref +
                    ": ([0-9]+) of 4096 pixels \\([0-9.]+%, more than the threshold 0\\.1%\\) "
                    "differ by more than 8 in a channel; the largest channel difference is "
                    "([0-9]+)\n");
    ASSERT_TRUE(std::regex_match(r.err, m, line)) << r.err;
    EXPECT_EQ(std::stoi(m[1]), redPixels(picture(diff)));
    EXPECT_GT(std::stoi(m[1]), 40);
    EXPECT_GT(std::stoi(m[2]), 8);

    // Loose enough settings accept the change; another size never matches.
    EXPECT_EQ(render(changed + " --size 64x64 --reference " + ref + " --threshold 0.5").status, 0);
    EXPECT_EQ(render(changed + " --size 64x64 --reference " + ref + " --tolerance 255").status, 0);
    r = render(scene + " --size 64x32 --reference " + ref);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "corvane-render: the frame is 64x32 pixels but " + ref + " is 64x64\n");

    // Script errors outrank a difference.
    std::string broken = write("broken.txt", "Box\nFoo\n");
    r = render(broken + " --size 64x64 --reference " + ref);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find(broken + ":2:1: Unknown command \"Foo\"\n"), 0u) << r.err;

    // References and diffs that cannot be used are refused before any frame.
    std::string text = write("text.png", "not a picture");
    std::string before = slurp(ref);
    for (const std::string& arguments :
         {"--reference " + directory + "/missing.png", "--reference " + text,
          "--reference " + ref + " --diff " + ref, "--reference " + ref + " -o " + ref,
          "--reference " + ref + " --diff " + directory + "/none/d.png"}) {
        SCOPED_TRACE(arguments);
        r = render(scene + " --size 64x64 " + arguments);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(oneLine(r.err)) << r.err;
    }
    EXPECT_EQ(slurp(ref), before);
}

struct CheckCase {
    const char* script;
    int status;
    const char* diagnostics;   // "$F" stands for the script's name
};

// Columns count bytes from 1, a tab as one, as vim's %c and VS Code's column read them; CR LF
// line ends leave columns alone; end-of-script messages point just past the file's last byte.
TEST_F(RenderToolTest, CheckPointsAtTheWord) {
    const CheckCase cases[] = {
        {"# fine\r\nBox\r\n", 0, ""},
        {"Box\r\n\tFoo\r\n", 1, "$F:2:2: Unknown command \"Foo\"\n"},
        {"\tFoo 1\r\nBar\r\n", 1,
         "$F:1:2: Unknown command \"Foo\"\n$F:1:6: Unknown command \"1\"\n"
         "$F:2:1: Unknown command \"Bar\"\n$F:3:1: No valid tokens in: $F\n"},
        {"Box\r\n\t\tTranslate 1 x\r\nBox\r\n", 1,
         "$F:2:3: Problems parsing arguments to Translate\n"},
        {"Box\r\n  \t}\r\n", 1, "$F:2:4: unmatched `}'\n"},
        {"Box\r\n\t Begin Foo\r\n", 1, "$F:2:3: Invalid primitive \"Foo\" followed Begin\n"},
        {"Box\r\n{\r\n\tSphere\r\n", 1, "$F:4:1: 1 unmatched `{'(s)\n"},
        {"Box\r\n{\tSphere", 1, "$F:2:9: 1 unmatched `{'(s)\n"},
        {"", 1, "$F:1:1: No valid tokens in: $F\n"},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.script);
        std::string script = write("check.txt", c.script);
        Result r = render("--check " + script);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, expand(c.diagnostics, script));
    }
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        EXPECT_NE(entry.path().extension(), ".png");   // --check writes no picture
}

// Everything printed on the terminal is escaped as the log box escapes it, so that a script or
// a name cannot set the terminal's title or hide a byte-order mark; the log keeps its bytes.
TEST_F(RenderToolTest, ControlBytesAreEscapedOnTheTerminal) {
    std::string script = write("esc.txt", "Box \x1b]0;TITLE\x07 \xef\xbb\xbfViewTransform\n");
    const std::string escaped = "Unknown command \"\\x1b]0;TITLE\\x07\"\n"
                                "Unknown command \"\\xef\\xbb\\xbfViewTransform\"\n";
    Result r = render("--check " + script);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, script + ":1:5: " + escaped.substr(0, escaped.find('\n') + 1) + script +
                         ":1:16: " + escaped.substr(escaped.find('\n') + 1));
    r = render(script + " --size 8x8 --raw-log");
    EXPECT_EQ(r.err, escaped);
    r = render(script + " -o '" + directory + "/\x1b[2J.avi'");
    EXPECT_EQ(r.err, "corvane-render: -o: \"" + directory + "/\\x1b[2J.avi\" ends in an extension "
                     "corvane-render does not write: use .png for pictures, .mp4, .webm or .gif for "
                     "a video, or .glb, .gltf, .obj or .stl for a model\n");
}

struct StatsCase {
    const char* script;
    const char* options;
    int status;
    const char* lastFrame;
    const char* tape;
};

// The counts of the last frame, and the tape: the first frame of a clean version records it,
// later frames replay it, unless --reread.
TEST_F(RenderToolTest, StatsCountFramesAndCommands) {
    const char* replayed = "the last frame was replayed from it; it holds [1-9][0-9]* bytes, 0 plain commands";
    const char* none = "the last frame was read from the script; it holds 0 bytes, 0 plain commands";
    const StatsCase cases[] = {
        {"Translate 0 0 -5\n# Box Box\n{ Sphere }\nBox\n", "--frames 3", 0,
         "5 commands dispatched, 0 display lists replayed", replayed},
        {"Translate 0 0 -5\nBox\n", "--frames 1", 0,
         "2 commands dispatched, 0 display lists replayed",
         "the last frame was read from the script; it holds [1-9][0-9]* bytes, 0 plain commands"},
        {"Begin Points Vertex 0 0 -5 Color 1 0 0 End\n", "--frames 2", 0,
         "4 commands dispatched, 0 display lists replayed",
         "the last frame was replayed from it; it holds [1-9][0-9]* bytes, 2 plain commands at 16 "
         "bytes each"},
        {"Translate 0 0 -5\nBox\n", "--frames 3 --reread", 0,
         "2 commands dispatched, 0 display lists replayed", none},
        {"Translate 0 0 -5\nFoo\nBox\n", "--frames 1", 1,
         "2 commands dispatched, 0 display lists replayed", none},
        // The failed version is latched: later frames dispatch nothing, and it has no tape.
        {"Translate 0 0 -5\nFoo\nBox\n", "--frames 2", 1,
         "0 commands dispatched, 0 display lists replayed", none},
    };
    for (const StatsCase& c : cases) {
        SCOPED_TRACE(std::string(c.script) + c.options);
        std::string script = write("stats.txt", c.script);
        Result r = render(script + " --size 32x32 --stats " + c.options);
        EXPECT_EQ(r.status, c.status);
        std::regex report("(.*\n)?frames: [0-9]+\nrunScript time per frame: mean "
                          "[0-9]+\\.[0-9]{3} ms, largest [0-9]+\\.[0-9]{3} ms\nlast frame: " +
                          std::string(c.lastFrame) + "\ntape: " + c.tape + "\n");
        EXPECT_TRUE(std::regex_match(r.err, report)) << r.err;
    }
}

// Display lists: a later frame seeks past the list body and replays the list per CallList.
TEST_F(RenderToolTest, StatsCountReplayedLists) {
    std::string script = write("lists.txt", "BeginList a\nBox\nEndList\nCallList a\nCallList a\n");
    Result r = render(script + " --size 32x32 --stats --frames 2");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("\nlast frame: 3 commands dispatched, 2 display lists replayed\n"),
              std::string::npos)
        << r.err;
}

TEST_F(RenderToolTest, BadValuesAreRefusedBeforeAnyFrame) {
    std::string good = write("good.txt", "Box\n");
    const std::pair<std::string, std::string> cases[] = {
        {"--size 100000x10", "--size is larger than the GL's largest drawing area"},
        {"--fov x", "--fov: \"x\" is not a number"},
        {"-o f%s.png", "may hold one frame-number field"},
        {"-o " + directory + "/none/f%02d.png --frames 3", "cannot write " + directory + "/none/f00.png"},
        {"-o " + directory, "cannot write " + directory + ": it is a directory"},
        {"--reference " + directory + "/missing.png", "there is no such file"},
    };
    for (const auto& [arguments, reason] : cases) {
        SCOPED_TRACE(arguments);
        Result r = render(good + " " + arguments);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("corvane-render: " ), std::string::npos);
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
        EXPECT_TRUE(oneLine(r.err)) << r.err;
    }
    // Clamped values run, with a note.
    Result r = render(good + " --tessellation 1000");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "corvane-render: note: --tessellation 1000 is beyond the panel's range "
                     "4..128; using 128\n");
    r = render("--help");
    for (const char* option :
         {"--orthographic", "--fov", "--near", "--far", "--ortho-box", "--flat", "--wireframe",
          "--tessellation", "--distance", "--azimuth", "--zenith", "--center", "--clock", "--every",
          "--reference", "--tolerance", "--threshold", "--diff", "--check", "--stats", "%04d"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
}
}  // namespace

namespace {
// SOIL hands every picture to the stb_image decoder, and its calls bind to the first library that
// exports one: the build puts the system's libstb, whose header reader guards the loads, before
// SOIL's own 2007 copy. Asked of corvane-render itself as it loads a picture.
TEST_F(RenderToolTest, PicturesAreDecodedByTheSystemStbImage) {
    std::string script = write("picture.txt", "TextureImage " CORVANE_SOURCE_DIR "/examples/checker.png\n");
    Result r = render(script + " --size 8x8", "LD_DEBUG=bindings LD_DEBUG_OUTPUT=" + directory + "/bindings");
    EXPECT_EQ(r.status, 0) << r.err;
    std::string bindings;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        if (entry.path().filename().string().rfind("bindings", 0) == 0) bindings += slurp(entry.path());
    std::regex soilToStb("binding file [^\n]*libSOIL[^\n]* to [^\n]*/libstb\\.so[^\n]*`stbi_load_from_memory'");
    EXPECT_TRUE(std::regex_search(bindings, soilToStb));
}
}  // namespace

namespace {
// Videos go through the ffmpeg program: the frames come back out of the file, a GIF holds one
// image a frame, and a missing or failing ffmpeg leaves no file under the name, not even a
// partial one beside it.
TEST_F(RenderToolTest, VideosThroughFfmpeg) {
    const std::string orrery = CORVANE_SOURCE_DIR "/examples/orrery.txt";
    auto framesOf = [&](const std::string& video) {
        std::string out = directory + "/probe";
        std::string command = "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                              "stream=nb_read_frames,width,height -of csv=p=0 " + video + " >" + out;
        EXPECT_EQ(std::system(command.c_str()), 0);
        return slurp(out);
    };
    Result r = render(orrery + " --frames 10 --size 320x200 -o " + directory + "/orrery.mp4");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(framesOf(directory + "/orrery.mp4"), "320,200,10\n");
    struct stat status {};
    ASSERT_EQ(stat((directory + "/orrery.mp4").c_str(), &status), 0);
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);   // as readable as a picture, not private
    r = render(orrery + " --frames 9 --every 2 --fps=10 --size 64x48 -o " + directory + "/o.gif");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(framesOf(directory + "/o.gif"), "64,48,5\n");

    auto leftovers = [&](const std::string& name) {
        int found = 0;
        for (const auto& entry : std::filesystem::directory_iterator(directory))
            found += entry.path().filename().string().find(name) != std::string::npos;
        return found;
    };
    r = render(orrery + " --frames 3 -o " + directory + "/none.mp4", "PATH=/nonexistent");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "corvane-render: cannot write " + directory +
                         "/none.mp4: videos are made by the ffmpeg program, which is not on PATH\n");
    EXPECT_EQ(leftovers("none.mp4"), 0);
    write("ffmpeg", "#!/bin/sh\necho 'encoder exploded' >&2\nexit 1\n");
    ASSERT_EQ(chmod((directory + "/ffmpeg").c_str(), 0755), 0);
    r = render(orrery + " --frames 3 -o " + directory + "/broken.webm", "PATH=" + directory + ":$PATH");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("ffmpeg could not write " + directory + "/broken.webm:\n  encoder exploded\n"),
              std::string::npos) << r.err;
    EXPECT_EQ(leftovers("broken.webm"), 0);

    struct Refused {
        const char* line;
        const char* error;
    };
    const Refused refusals[] = {
        {"--fps 0 -o a.mp4", "--fps: \"0\" is not a number from 0.01 to 1000"},
        {"--fps 25 -o a.png", "--fps needs an -o name that ends in .mp4, .webm or .gif"},
        {"-o clip.avi", "-o: \"clip.avi\" ends in an extension corvane-render does not write: use "
                        ".png for pictures, .mp4, .webm or .gif for a video, or .glb, .gltf, .obj "
                        "or .stl for a model"},
        {"-o f%03d.gif", "-o: \"f%03d.gif\": a video holds every frame, so its name takes no "
                         "frame-number field"},
        {"-o /nonexistent/a.mp4", "cannot write /nonexistent/a.mp4: there is no directory /nonexistent"},
    };
    for (const Refused& c : refusals) {
        SCOPED_TRACE(c.line);
        r = render(orrery + " " + c.line);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), std::string("corvane-render: ") + c.error);
    }
}
}  // namespace

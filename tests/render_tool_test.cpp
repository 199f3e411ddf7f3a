// corvane-render as a user runs it: exit statuses, diagnostics, the raw log and the picture.
#include <gtest/gtest.h>
#include <stb_image.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {
struct Result {
    int status;
    std::string out, err;
};

class RenderToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        char scratch[] = "/tmp/corvane-render-XXXXXX";
        ASSERT_NE(mkdtemp(scratch), nullptr);
        directory = scratch;
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::string write(const std::string& name, const std::string& text) {
        std::string path = directory + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    Result render(const std::string& arguments, const std::string& environment = "") {
        std::string out = directory + "/stdout", err = directory + "/stderr";
        std::string command = environment + " " CORVANE_RENDER " " + arguments + " >" + out +
                              " 2>" + err;
        int status = std::system(command.c_str());
        return {WEXITSTATUS(status), slurp(out), slurp(err)};
    }
    std::string directory;
};

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
        EXPECT_NE(r.err.find("usage: corvane-render"), std::string::npos);
    }
    Result r = render("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--raw-log"), std::string::npos);
    r = render(good + " -o " + directory + "/no/such/dir/x.png");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos);
    r = render(good, "env -u DISPLAY");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("xvfb-run"), std::string::npos);
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

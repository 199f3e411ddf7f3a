// The command tape: frames replayed from it are the frames read from the file, picture, log and
// standard output alike, and every kind of edit to the file is seen at the next frame.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "frame/frame.h"
#include "frame/offscreen.h"
#include "frame/session.h"
#include "interpreter/command_tape.h"
#include "interpreter/message_log.h"
#include "interpreter/runner.h"
#include "scene/clock.h"
#include "scene/script_file.h"
#include "tests/gl_test.h"
#include "tests/script_generator.h"

namespace {
class TapeTest : public GlTest {
protected:
    void TearDown() override {
        allowTape(true);
        GlTest::TearDown();
    }
    // Six frames of the script as the viewer runs them, the clock ticking between them: every
    // picture, then the log and what the frames printed.
    std::vector<std::string> framesOf(const std::string& path, bool tape) {
        resetSession();
        allowTape(tape);
        chooseScriptFile(path);
        std::vector<std::string> seen;
        testing::internal::CaptureStdout();
        for (int i = 0; i < 6; ++i) {
            if (i > 0) advanceSceneClock();
            frame();
            std::vector<unsigned char> pixels = readFramePixels();
            seen.emplace_back(pixels.begin(), pixels.end());
        }
        std::fflush(stdout);
        seen.push_back(testing::internal::GetCapturedStdout());
        seen.push_back(logText());
        return seen;
    }
    // Whether the tape and re-reading give the same frames; also that the tape was used.
    void expectSameFrames(const std::string& path, int& replayed) {
        std::vector<std::string> taped = framesOf(path, true);
        replayed += lastRunWasReplayed();
        std::vector<std::string> read = framesOf(path, false);
        ASSERT_EQ(taped.size(), read.size());
        for (std::size_t i = 0; i < taped.size(); ++i)
            EXPECT_TRUE(taped[i] == read[i]) << (i < 6 ? "frame " + std::to_string(i)
                                                       : i == 6 ? "standard output" : "log");
    }
    // Saves new text over the script in place, keeping or giving the modification time.
    void save(const std::string& path, const std::string& text, const timespec* modified = nullptr) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        if (modified) {
            timespec times[2] = {*modified, *modified};
            ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        }
    }
};

TEST_F(TapeTest, ReplayedFramesAreTheFramesReadFromTheFile) {
    int replayed = 0, scripts = 0;
    // The examples, from their own directory as users run them.
    ASSERT_EQ(chdir(CORVANE_SOURCE_DIR "/examples"), 0);
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        if (entry.path().extension() != ".txt") continue;
        SCOPED_TRACE(entry.path().string());
        expectSameFrames(entry.path().string(), replayed);
        ++scripts;
    }
    // A thousand generated scripts: every word, lists, arrays, NURBS, textures, transforms
    // driven by the clock.
    std::string copy = "cp " CORVANE_SOURCE_DIR "/examples/checker.png " + directory;
    ASSERT_EQ(std::system(copy.c_str()), 0);
    ASSERT_EQ(chdir(directory.c_str()), 0);
    for (std::uint64_t seed = 0; seed < 1000 && !HasFailure(); ++seed) {
        std::string script = generateScript(seed);
        SCOPED_TRACE("seed " + std::to_string(seed) + ":\n" + script);
        expectSameFrames(writeScript(script), replayed);
        ++scripts;
    }
    ASSERT_EQ(chdir(CORVANE_SOURCE_DIR), 0);
    // Most of them run cleanly, and those replay their tape.
    EXPECT_GT(replayed, scripts / 3);
}

TEST_F(TapeTest, EveryEditIsSeenAtTheNextFrame) {
    const std::string red = "Disable Lighting Color 1 0 0 Translate 0 0 -3 Box\n";
    const std::string green = "Disable Lighting Color 0 1 0 Translate 0 0 -3 Box\n";
    const std::array<int, 3> redPixel = {255, 0, 0}, greenPixel = {0, 255, 0};
    std::string path = writeScript(red);
    auto settle = [&] {   // the first frame records, the second replays
        EXPECT_TRUE(frame());
        EXPECT_TRUE(frame());
        EXPECT_TRUE(lastRunWasReplayed());
    };
    settle();
    EXPECT_EQ(centre(), redPixel);

    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    // Rewritten in place, the modification time set back as it was (touch -d): only the
    // change time tells, and it does.
    save(path, green, &before.st_mtim);
    EXPECT_TRUE(frame());
    EXPECT_FALSE(lastRunWasReplayed());
    EXPECT_EQ(centre(), greenPixel);
    settle();
    // Twice within one tick of the clock, the second save as long as the first.
    save(path, red);
    save(path, green);
    EXPECT_TRUE(frame());
    EXPECT_EQ(centre(), greenPixel);
    settle();
    // Grown and shrunk.
    save(path, "# a longer version\n" + red);
    EXPECT_TRUE(frame());
    EXPECT_EQ(centre(), redPixel);
    settle();
    save(path, green.substr(0, green.size() - 4));   // "Box" cut off: nothing drawn
    EXPECT_TRUE(frame());
    EXPECT_FALSE(drawnAt(size / 2, size / 2));
    // Replaced by a rename, as editors save.
    std::string other = directory + "/other.txt";
    std::ofstream(other, std::ios::binary) << green;
    ASSERT_EQ(std::rename(other.c_str(), path.c_str()), 0);
    EXPECT_TRUE(frame());
    EXPECT_EQ(centre(), greenPixel);
    settle();

    // A picture changed between frames shows at the next one: TextureImage loads it on every
    // replayed frame too.
    const std::string picture = directory + "/picture.ppm";
    auto paint = [&](unsigned char r, unsigned char g, unsigned char b) {
        std::ofstream out(picture, std::ios::binary);
        out << "P6 2 2 255\n";
        for (int i = 0; i < 4; ++i) out << r << g << b;
    };
    paint(0, 0, 255);
    save(path, "Disable Lighting TextureImage " + picture +
                   " Enable Texture TextureMode Replace TextureCoord 0.5 0.5 Translate 0 0 -3 Box\n");
    settle();
    EXPECT_EQ(centre(), (std::array<int, 3>{0, 0, 255}));
    paint(255, 255, 0);
    EXPECT_TRUE(frame());
    EXPECT_TRUE(lastRunWasReplayed());
    EXPECT_EQ(centre(), (std::array<int, 3>{255, 255, 0}));
}

// A write that leaves the file's identity as it was is seen at the next frame while the file's
// modification time is recent: here a second write through a shared mapping, whose page is
// already dirty, moves no timestamp at all.
TEST_F(TapeTest, WritesThatLeaveTheIdentityAsItWasAreSeen) {
    const std::string red = "Disable Lighting Color 1 0 0 Translate 0 0 -3 Box\n";
    const std::string path = writeScript(red);
    EXPECT_TRUE(frame());
    EXPECT_TRUE(frame());
    EXPECT_TRUE(lastRunWasReplayed());
    const int file = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(file, 0);
    void* mapped = ::mmap(nullptr, red.size(), PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    struct Write {
        const char* text;
        std::array<int, 3> shown;
    };
    for (const Write& write : {Write{"Disable Lighting Color 0 1 0", {0, 255, 0}},
                               Write{"Disable Lighting Color 0 0 1", {0, 0, 255}}}) {
        struct stat before {}, after {};
        ASSERT_EQ(::fstat(file, &before), 0);
        std::memcpy(mapped, write.text, std::strlen(write.text));
        ASSERT_EQ(::fstat(file, &after), 0);
        EXPECT_TRUE(frame());
        EXPECT_EQ(centre(), write.shown);
        EXPECT_TRUE(frame());
        EXPECT_TRUE(lastRunWasReplayed());
        EXPECT_EQ(centre(), write.shown);
        if (write.shown[2] == 255) {   // the second write: nothing about the file moved
            EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
            EXPECT_EQ(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec);
        }
    }
    ::munmap(mapped, red.size());
    ::close(file);
}

// A tape holds at most CommandTape::largestSize bytes, counted as used: a version just under it
// is replayed, one just over is read from the file every frame, and drawn the same. A plain
// command takes 16 bytes, so a million vertices with a normal for each triangle fit.
TEST_F(TapeTest, ATapeStaysWithinItsLimit) {
    std::string million = "Begin Triangles\n";
    for (int i = 0; i < 1000000; ++i) million += i % 3 ? "Vertex 0 0 -3\n" : "Normal 0 0 1\nVertex 0 0 -3\n";
    writeScript(million + "End\n");
    EXPECT_TRUE(frame());
    EXPECT_TRUE(frame());
    EXPECT_TRUE(lastRunWasReplayed());
    EXPECT_EQ(tapeFigures().plainCommands, 1333334u);
    EXPECT_EQ(tapeFigures().plainBytes, 16 * tapeFigures().plainCommands);

    // Plain commands and then one command's many values, so two lists grow side by side.
    auto script = [](long elements) {
        std::string text = "Disable Lighting Translate 0 0 -3 Begin Points\n";
        for (int i = 0; i < 200000; ++i) text += "Vertex 0 0 0\n";
        text += "End VertexArray " + std::to_string(elements) + " :";
        for (long i = 0; i < elements; ++i) text += " 0 0 0";
        return text + "\n";
    };
    auto tapeBytes = [&](long elements) {
        writeScript(script(elements));
        frame();
        return tapeFigures().bytes;
    };
    const std::size_t perElement = tapeBytes(2) - tapeBytes(1);
    const std::size_t withoutElements = tapeBytes(1) - perElement;
    const long fitting = long((CommandTape::largestSize - withoutElements) / perElement);
    for (long elements : {fitting, fitting + 1}) {
        SCOPED_TRACE(elements);
        writeScript(script(elements));
        EXPECT_TRUE(frame());
        EXPECT_TRUE(frame());
        const bool fits = elements == fitting;
        EXPECT_EQ(lastRunWasReplayed(), fits);
        EXPECT_EQ(tapeFigures().bytes, fits ? withoutElements + elements * perElement : 0);
        EXPECT_EQ(centre(), (std::array<int, 3>{255, 255, 255}));
    }
}
}  // namespace

// The real corvane program as a person uses it: each test starts its own X server (so tests
// running side by side never see each other's windows), starts the viewer on a scene, drives
// it with xdotool and reads the screen back. Everything is polled with a time limit.
#include <gtest/gtest.h>
#include <imgui.h>
// Xlib's macros (None, Bool) must come after the test framework's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/processes.h"
#include "tests/scratch.h"

namespace {
using Clock = std::chrono::steady_clock;
using Rgb = std::array<int, 3>;
const Rgb background = {0, 0, 51};

// The panels' text, read back from the screen. The panels use the toolkit's built-in bitmap
// font, drawn pixel for pixel in cells 7 wide: a cell of the screen either is one of the
// font's glyphs exactly or holds no character at all, so a line is read by looking its cells
// up among the glyphs, at each of the seven horizontal phases.
constexpr int cellWidth = 7, cellHeight = 14;   // the glyphs' advance and their tallest extent
constexpr int lineHeight = 13;                  // from one wrapped line to the next
using Cell = std::pair<std::uint64_t, std::uint64_t>;   // 98 pixels, row by row

struct TextLine {
    int y;              // of the top of its cells, in the window
    std::string text;   // without the spaces before and after it
};

const std::map<Cell, char>& glyphs() {
    static const std::map<Cell, char> cells = [] {
        std::map<Cell, char> cells;
        ImFontAtlas atlas;
        atlas.AddFontDefault();
        unsigned char* alpha = nullptr;
        int width = 0, height = 0;
        atlas.GetTexDataAsAlpha8(&alpha, &width, &height);
        for (char c = '!'; c <= '~'; ++c) {
            const ImFontGlyph* g = atlas.Fonts[0]->FindGlyphNoFallback(c);
            int u = int(std::lround(g->U0 * width)), v = int(std::lround(g->V0 * height));
            Cell cell{0, 0};
            for (int y = 0; y < int(g->Y1 - g->Y0); ++y)
                for (int x = 0; x < int(g->X1 - g->X0); ++x)
                    if (alpha[(v + y) * width + u + x] > 127) {
                        int bit = (y + int(g->Y0)) * cellWidth + x + int(g->X0);
                        (bit < 64 ? cell.first : cell.second) |= std::uint64_t(1) << (bit % 64);
                    }
            cells.emplace(cell, c);
        }
        return cells;
    }();
    return cells;
}

// A picture of the window and the text of one colour in a part of it.
struct Screen {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;

    Rgb at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }

    // Characters of exactly this colour: the panels draw glyphs without blending. The glyphs
    // leave their two top rows empty, where the descenders of the line above reach.
    Cell cellAt(int x0, int y0, const Rgb& colour) const {
        Cell cell{0, 0};
        for (int y = 2; y < cellHeight; ++y)
            for (int x = 0; x < cellWidth; ++x)
                if (at(x0 + x, y0 + y) == colour) {
                    int bit = y * cellWidth + x;
                    (bit < 64 ? cell.first : cell.second) |= std::uint64_t(1) << (bit % 64);
                }
        return cell;
    }

    // The line whose cells start at row y, between x0 and x1, at the phase where every cell
    // holds a glyph or nothing; empty when there is no such phase.
    std::string lineAt(int x0, int x1, int y, const Rgb& colour) const {
        for (int phase = 0; phase < cellWidth; ++phase) {
            std::string text;
            bool whole = true;
            for (int x = x0 + phase; x + cellWidth <= x1 && whole; x += cellWidth) {
                Cell cell = cellAt(x, y, colour);
                auto glyph = glyphs().find(cell);
                whole = cell == Cell{0, 0} || glyph != glyphs().end();
                text += cell == Cell{0, 0} ? ' ' : whole ? glyph->second : '?';
            }
            std::size_t first = text.find_first_not_of(' ');
            if (whole && first != std::string::npos)
                return text.substr(first, text.find_last_not_of(' ') + 1 - first);
        }
        return "";
    }

    // The lines of two characters or more between rows y0 and y1, top to bottom.
    std::vector<TextLine> lines(int x0, int x1, int y0, int y1, const Rgb& colour) const {
        std::vector<TextLine> found;
        for (int y = y0; y + cellHeight <= y1; ++y) {
            std::string text = lineAt(x0, x1, y, colour);
            if (text.size() < 2) continue;
            found.push_back({y, text});
            y += lineHeight - 1;
        }
        return found;
    }
};

const Rgb white = {255, 255, 255}, dimmed = {128, 128, 128};   // text and located column

std::string withoutSpaces(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

class ViewerEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        directory = makeScratchDirectory("corvane-e2e-");
        startServer();
    }

    void TearDown() override {
        if (viewer > 0) stop(viewer);
        if (display) XCloseDisplay(display);
        if (server > 0) stop(server);
        if (HasFailure()) std::cerr << "viewer output:\n" << slurp(directory + "/viewer.log");
        std::filesystem::remove_all(directory);
    }

    // An X server of this test's own, on a display number it picks itself.
    void startServer() {
        displayName = startXServer(server, directory + "/xvfb.log");
        ASSERT_FALSE(displayName.empty()) << slurp(directory + "/xvfb.log");
        display = XOpenDisplay(displayName.c_str());
        ASSERT_NE(display, nullptr);
        // Xlib's own handler ends the process on an error, such as asking about the window of
        // a viewer that never showed one; then no TearDown would stop the viewer and the server.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }

    // Starts the viewer on the scene and waits until its window shows the panels.
    void startViewer(const std::string& scene, std::vector<std::string> environment = {}) {
        std::ofstream(directory + "/" + scriptName) << scene;
        environment.push_back("DISPLAY=" + displayName);
        viewer = start({CORVANE_VIEWER, scriptName}, directory, directory + "/viewer.log",
                       environment);
        ASSERT_GT(viewer, 0);
        ASSERT_TRUE(waitFor([&] { return findWindow(); }, 20)) << "no window";
        ASSERT_TRUE(waitFor([&] { return at(300, 500) == background; }, 20)) << "no frame";
    }

    bool findWindow() {
        Window root = DefaultRootWindow(display), parent, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, root, &root, &parent, &children, &count)) return false;
        for (unsigned i = 0; i < count && !window; ++i) {
            char* name = nullptr;
            XWindowAttributes attributes;
            if (XFetchName(display, children[i], &name) && name) {
                if (std::string(name) == "Corvane" &&
                    XGetWindowAttributes(display, children[i], &attributes) &&
                    attributes.map_state == IsViewable)
                    window = children[i];
                XFree(name);
            }
        }
        if (children) XFree(children);
        return window != 0;
    }

    // The colour of window point (x, y), read from the screen.
    Rgb at(int x, int y) {
        int rootX = 0, rootY = 0;
        Window child;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY,
                              &child);
        XImage* image = XGetImage(display, DefaultRootWindow(display), rootX, rootY, 1, 1,
                                  AllPlanes, ZPixmap);
        if (!image) return {-1, -1, -1};
        unsigned long p = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return {int(p >> 16 & 255), int(p >> 8 & 255), int(p & 255)};
    }

    // How many of the pixels from x0 to x1 on row y are not background.
    int drawnOnRow(int y, int x0, int x1) {
        int count = 0;
        for (int x = x0; x < x1; ++x) count += at(x, y) != background;
        return count;
    }

    // The drawing area's pixels (between the panels), every fourth in each direction.
    std::vector<unsigned long> drawingArea() {
        int rootX = 0, rootY = 0;
        Window child;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), 212, 2, &rootX, &rootY,
                              &child);
        XImage* image = XGetImage(display, DefaultRootWindow(display), rootX, rootY, 516, 508,
                                  AllPlanes, ZPixmap);
        std::vector<unsigned long> pixels;
        if (!image) return pixels;
        for (int y = 0; y < 508; y += 4)
            for (int x = 0; x < 516; x += 4) pixels.push_back(XGetPixel(image, x, y));
        XDestroyImage(image);
        return pixels;
    }

    // The whole window as it is on the screen now; what lies off the screen (the window may
    // start a pixel to the left of it) reads as no colour at all.
    Screen grab() {
        XWindowAttributes attributes, root;
        XGetWindowAttributes(display, window, &attributes);
        XGetWindowAttributes(display, DefaultRootWindow(display), &root);
        int rootX = 0, rootY = 0;
        Window child;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &rootX, &rootY,
                              &child);
        Screen screen;
        screen.width = attributes.width;
        screen.height = attributes.height;
        screen.pixels.assign(std::size_t(screen.width) * screen.height, Rgb{-1, -1, -1});
        int x0 = std::max(rootX, 0), y0 = std::max(rootY, 0);
        int x1 = std::min(rootX + screen.width, root.width);
        int y1 = std::min(rootY + screen.height, root.height);
        if (x1 <= x0 || y1 <= y0) return screen;
        XImage* image = XGetImage(display, DefaultRootWindow(display), x0, y0, x1 - x0, y1 - y0,
                                  AllPlanes, ZPixmap);
        if (!image) return screen;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                unsigned long p = XGetPixel(image, x - x0, y - y0);
                screen.pixels[std::size_t(y - rootY) * screen.width + (x - rootX)] = {
                    int(p >> 16 & 255), int(p >> 8 & 255), int(p & 255)};
            }
        XDestroyImage(image);
        return screen;
    }

    // The left panel's lines of white text; the log box lies between its heading ("Log...")
    // and the hint under it ("Press 'h'...").
    struct LogBox {
        std::string heading;
        int top = -1, bottom = -1;
    };
    LogBox logBox(const Screen& screen) {
        LogBox box;
        for (const TextLine& line : screen.lines(0, 210, 0, screen.height, white)) {
            if (line.text.rfind("Log", 0) == 0 && box.top < 0) {
                box.heading = line.text;
                box.top = line.y + lineHeight;
            }
            if (line.text.rfind("Press 'h'", 0) == 0) box.bottom = line.y;
        }
        return box;
    }
    // The rows the log box shows, as (location, message without its spaces): each dimmed
    // location begins a row, and the white lines beside it down to the next one, a line height
    // apart, are its message.
    using Rows = std::vector<std::pair<std::string, std::string>>;
    Rows logRows() {
        Screen screen = grab();
        LogBox box = logBox(screen);
        Rows rows;
        if (box.top < 0 || box.bottom < 0) return rows;
        std::vector<TextLine> locations = screen.lines(0, 210, box.top, box.bottom, dimmed);
        for (std::size_t i = 0; i < locations.size(); ++i) {
            int end = i + 1 < locations.size() ? locations[i + 1].y : box.bottom;
            std::string message;
            for (int y = locations[i].y; y + lineHeight <= end; y += lineHeight)
                message += screen.lineAt(0, 210, y, white);
            rows.push_back({locations[i].text, withoutSpaces(message)});
        }
        return rows;
    }
    // What corvane-render --check says of the scene, in the same form, with the bytes the box
    // escapes escaped.
    Rows diagnostics() {
        std::string command = "cd " + directory + " && DISPLAY=" + displayName + " " +
                              CORVANE_RENDER + " scene.txt --check 2>check.txt";
        std::system(command.c_str());
        std::istringstream lines(slurp(directory + "/check.txt"));
        Rows rows;
        for (std::string line; std::getline(lines, line);) {
            std::size_t where = line.find(':') + 1, column = line.find(':', where) + 1,
                        text = line.find(": ", column);
            std::string message;
            for (char c : line.substr(text + 2))
                message += c == 0 ? "\\0" : c == 27 ? "\\x1b" : std::string(1, c);
            rows.push_back({line.substr(where, text - where), withoutSpaces(message)});
        }
        return rows;
    }

    void xdotool(const std::string& arguments) {
        std::string command = "DISPLAY=" + displayName + " xdotool " + arguments;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    void key(const std::string& name) {
        xdotool("mousemove --window " + std::to_string(window) + " 470 256 key " + name);
    }
    // Moves the mouse over the window point and waits until the panel has seen it there.
    void moveTo(int x, int y) {
        xdotool("mousemove --window " + std::to_string(window) + " " + std::to_string(x) + " " +
                std::to_string(y));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    void clickAt(int x, int y, int clicks = 1) {
        moveTo(x, y);
        xdotool("click --repeat " + std::to_string(clicks) + " --delay 80 1");
    }
    void dragFrom(int x, int y) {
        moveTo(x, y);
        xdotool("mousedown 1");
        for (int step = 1; step <= 8; ++step)
            xdotool("mousemove --window " + std::to_string(window) + " " +
                    std::to_string(x + 10 * step) + " " + std::to_string(y));
        xdotool("mouseup 1");
    }

    // The exit status once the viewer has ended, or -1 if it is still running.
    int exitStatus(double seconds) {
        int status = -1;
        bool ended = waitFor([&] { return waitpid(viewer, &status, WNOHANG) == viewer; }, seconds);
        if (!ended) return -1;
        viewer = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // The viewer's resident memory in kB, from /proc.
    long residentKb() {
        std::istringstream status(slurp("/proc/" + std::to_string(viewer) + "/status"));
        std::string field;
        long value = -1;
        while (status >> field)
            if (field == "VmRSS:") status >> value;
        return value;
    }

    std::string directory, displayName;
    std::string scriptName = "scene.txt";   // as the viewer is given it
    Display* display = nullptr;
    Window window = 0;
    pid_t server = -1, viewer = -1;
};

// A box of edge 12 seen by the starting camera fills the middle of the drawing area.
constexpr const char* boxScene = "ViewTransform\nScale 12 12 12\nBox\n";

TEST_F(ViewerEndToEnd, WindowPanelsKeysAndEscape) {
    startViewer(boxScene);
    char* name = nullptr;
    ASSERT_TRUE(XFetchName(display, window, &name));
    EXPECT_STREQ(name, "Corvane");
    XFree(name);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    EXPECT_EQ(attributes.width, 1000);
    EXPECT_EQ(attributes.height, 512);

    // Panels on both sides, the scene between them, the box in its middle.
    EXPECT_NE(at(100, 500), background);
    EXPECT_NE(at(900, 500), background);
    EXPECT_NE(at(470, 256), background);
    EXPECT_NE(at(345, 256), background);

    // Outlines: across the middle of the face only a few edges are left.
    EXPECT_EQ(drawnOnRow(300, 350, 590), 240);
    key("w");
    EXPECT_TRUE(waitFor([&] { return drawnOnRow(300, 350, 590) < 24; }, 2));
    key("w");
    EXPECT_TRUE(waitFor([&] { return drawnOnRow(300, 350, 590) == 240; }, 2));

    key("h");   // the whole window is the drawing area, and the box moves to its middle
    EXPECT_TRUE(waitFor([&] { return at(100, 500) == background; }, 2));
    EXPECT_EQ(at(900, 500), background);
    EXPECT_EQ(at(345, 256), background);
    EXPECT_NE(at(500, 256), background);
    key("h");
    EXPECT_TRUE(waitFor([&] { return at(100, 500) != background; }, 2));

    key("Escape");
    EXPECT_EQ(exitStatus(5), 0);
}

TEST_F(ViewerEndToEnd, DragsOrbitInTheDrawingAreaOnly) {
    startViewer("ViewTransform\nTranslate 0 0 6\nScale 4 4 4\nBox\n");
    auto start = drawingArea();
    dragFrom(60, 490);   // on the left panel, below its controls
    dragFrom(740, 500);  // on the right panel
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(drawingArea() == start) << "a drag on a panel turned the camera";
    dragFrom(400, 256);
    EXPECT_TRUE(waitFor([&] { return drawingArea() != start; }, 2));
    key("Escape");
    EXPECT_EQ(exitStatus(5), 0);
}

TEST_F(ViewerEndToEnd, SavingTheScriptChangesThePictureWithinASecond) {
    startViewer(boxScene);
    ASSERT_NE(at(470, 256), background);
    auto saved = Clock::now();
    std::ofstream(directory + "/scene.txt") << "ViewTransform\nTranslate 0 0 20\nBox\n";
    EXPECT_TRUE(waitFor([&] { return at(470, 256) == background; }, 1));
    EXPECT_LT(Clock::now() - saved, std::chrono::seconds(1));
}

// One save of the soak: a box at one of several distances in front of the camera,
// drawn through display lists; every other pair of saves is broken in one of three ways.
std::string soakVersion(int save) {
    const std::string kept = "BeginList box\nScale 4 4 4\nBox\nEndList\n";
    std::string text = "ViewTransform\nTranslate " + std::to_string(8 + save % 5) + " 0 0\n" +
                       kept + "BeginList spare" + std::to_string(save % 7) +
                       "\nSphere\nEndList\nCallList box\n";
    if ((save / 2) % 2 == 0) return text;
    switch (save % 3) {
        case 0: return text + "Foo\n";                           // an unknown word
        case 1: return text.substr(0, text.size() / 2);            // cut short: no EndList
        default: return text + kept;                               // a list defined twice
    }
}

// Saves the script ten times a second, in place and by renaming over it by turns, while the
// viewer runs; then the last save must show, keys must still act, memory must have stayed
// put after the warm-up and no display list may outlive its script version: the last version
// makes none, so none may be left when the viewer quits. The lists are counted by a library
// preloaded in front of the GL (tests/list_counter.cpp). CORVANE_SOAK_SECONDS makes the run
// longer.
TEST_F(ViewerEndToEnd, SoakOfRapidSavesLeavesNoTrace) {
    const char* wanted = std::getenv("CORVANE_SOAK_SECONDS");
    const double seconds = wanted ? std::atof(wanted) : 12;
    const std::string scene = directory + "/scene.txt", report = directory + "/lists.txt";
    const char* asan = std::getenv("ASAN_OPTIONS");
    startViewer(soakVersion(0),
                {"LD_PRELOAD=" CORVANE_LIST_COUNTER, "CORVANE_LIST_COUNT=" + report,
                 // The sanitizers' runtime would otherwise insist on being loaded first.
                 std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0"});
    auto begin = Clock::now();
    // The driver's caches and the heap settle in steps over the first minute or so, then stay.
    const auto warmUp = std::chrono::duration<double>(std::max(3.0, seconds / 5));
    long warmedKb = -1, largestKb = 0;
    int save = 0;
    for (; Clock::now() - begin < std::chrono::duration<double>(seconds); ++save) {
        if (save % 2 == 0) {
            std::ofstream(scene, std::ios::trunc) << soakVersion(save);
        } else {
            std::ofstream(scene + ".new") << soakVersion(save);
            ASSERT_EQ(std::rename((scene + ".new").c_str(), scene.c_str()), 0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (warmedKb < 0 && Clock::now() - begin > warmUp) warmedKb = residentKb();
        largestKb = std::max(largestKb, residentKb());
    }
    ASSERT_GT(warmedKb, 0);
#ifndef __SANITIZE_ADDRESS__   // its quarantine holds freed memory back on purpose
    EXPECT_LT(largestKb - warmedKb, 8 * 1024) << "resident memory grew after the warm-up";
#endif

    // The last save: a box that fills the middle rows of the drawing area, where no soak
    // version's box reaches.
    std::ofstream(scene, std::ios::trunc) << boxScene;
    EXPECT_TRUE(waitFor([&] { return drawnOnRow(300, 350, 590) == 240; }, 2))
        << "last save not shown";
    key("w");
    EXPECT_TRUE(waitFor([&] { return drawnOnRow(300, 350, 590) < 24; }, 2)) << "keys ignored";
    key("Escape");
    EXPECT_EQ(exitStatus(5), 0);

    long generated = 0, stray = -1;
    EXPECT_EQ(std::sscanf(slurp(report).c_str(), "made %ld alive %ld", &generated, &stray), 2);
    EXPECT_GT(generated, save);   // every version made lists of its own
    EXPECT_EQ(stray, 0);
    std::cout << save << " saves in " << seconds << " s; resident memory " << warmedKb
              << " kB after the warm-up, at most " << largestKb << " kB; " << generated
              << " display lists made\n";
}

// Every message whole and where it is: a NUL or an escape in a word shows escaped instead of
// ending the box's text, and a message longer than the box wraps, even inside a long word,
// instead of running past its edge. Row for row, the box says what corvane-render --check says.
TEST_F(ViewerEndToEnd, LogShowsEveryMessageWholeBesideItsLocation) {
    using namespace std::string_literals;
    startViewer("ViewTransform\nBox\nfoo\0bar\nSphre\nbegin\nx\x1b[2Jy\n"s);
    Rows expected = diagnostics();
    ASSERT_EQ(expected.size(), 4u);
    EXPECT_EQ(expected[0], Rows::value_type("3:1", R"(Unknowncommand"foo\0bar")"));
    EXPECT_EQ(expected[3], Rows::value_type("6:1", R"(Unknowncommand"x\x1b[2Jy")"));
    Rows shown;
    EXPECT_TRUE(waitFor([&] { return (shown = logRows()) == expected; }, 5))
        << shown.size() << " rows, the first " << (shown.empty() ? "" : shown[0].second);
    EXPECT_EQ(logBox(grab()).heading, "Log: 4 messages");

    std::ofstream(directory + "/scene.txt")
        << "Begin Fan End\nabcdefghijklmnopqrstuvwxyz0123456789\nTranslate 1 x 0\n";
    expected = diagnostics();
    ASSERT_EQ(expected.size(), 4u);
    EXPECT_TRUE(waitFor([&] { return (shown = logRows()) == expected; }, 5))
        << shown.size() << " rows, the first " << (shown.empty() ? "" : shown[0].second);
}

// A script of 200 errors: the heading counts the messages, a taller window shows more of them,
// and the wheel over the box scrolls down to the last one and its line without moving the
// camera.
TEST_F(ViewerEndToEnd, TwoHundredErrorsAllReachableInTheLog) {
    std::string script;
    for (int i = 1; i <= 200; ++i) script += "bad" + std::to_string(i) + "\n";
    startViewer(script);
    Rows expected = diagnostics();
    ASSERT_EQ(expected.size(), 201u);
    Rows first;
    ASSERT_TRUE(waitFor([&] { return !(first = logRows()).empty() && first[0] == expected[0]; }, 5));
    EXPECT_EQ(logBox(grab()).heading, "Log: 201 messages");

    xdotool("windowsize " + std::to_string(window) + " 1000 800");
    Rows taller;
    EXPECT_TRUE(waitFor([&] { return (taller = logRows()).size() >= first.size() + 10; }, 5))
        << first.size() << " rows at 512 pixels, " << taller.size() << " at 800";

    moveTo(100, 500);
    xdotool("click --repeat 150 --delay 5 5");
    Rows last;
    EXPECT_TRUE(waitFor([&] {
        last = logRows();
        return last.size() >= 2 && last.back() == expected[200] && last.end()[-2] == expected[199];
    }, 10)) << (last.empty() ? "nothing" : last.back().first + " " + last.back().second);
    EXPECT_EQ(last.end()[-2], Rows::value_type("200:1", R"(Unknowncommand"bad200")"));
    std::vector<TextLine> distance = grab().lines(740, 840, 20, 48, white);
    ASSERT_EQ(distance.size(), 1u);
    EXPECT_EQ(distance[0].text, "30") << "the wheel over the log moved the camera";
}

// The only highlighted row is the file being drawn: not the row that the pointer happens to
// rest on after a double click has changed the listing, nor one left over from another
// directory.
TEST_F(ViewerEndToEnd, BrowserHighlightsOnlyTheFileBeingDrawn) {
    std::filesystem::create_directory(directory + "/sub");
    for (const char* name : {"a.txt", "b.txt"}) std::ofstream(directory + "/sub/" + name) << boxScene;
    startViewer("ViewTransform\n");
    // The background of a row, right of its name, found by reading the list.
    auto row = [&](const std::string& name) -> Rgb {
        Screen screen = grab();
        for (const TextLine& line : screen.lines(0, 210, 60, 280, white))
            if (line.text == name) return screen.at(195, line.y + 6);
        return {-1, -1, -1};
    };
    auto rowY = [&](const std::string& name) {
        for (const TextLine& line : grab().lines(0, 210, 60, 280, white))
            if (line.text == name) return line.y + 6;
        return -1;
    };
    const Rgb plain = row("viewer.log");
    ASSERT_NE(plain, Rgb({-1, -1, -1}));
    EXPECT_NE(row("scene.txt"), plain);

    clickAt(40, rowY("sub/"), 2);   // the pointer stays on the row that a.txt takes
    ASSERT_TRUE(waitFor([&] { return row("a.txt") != Rgb({-1, -1, -1}); }, 5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(row("a.txt"), plain);
    EXPECT_EQ(row("b.txt"), plain);

    clickAt(40, rowY("b.txt"), 2);
    EXPECT_TRUE(waitFor([&] { return at(470, 256) != background; }, 5)) << "b.txt not drawn";
    EXPECT_NE(row("b.txt"), plain);

    clickAt(40, rowY("../"), 2);
    ASSERT_TRUE(waitFor([&] { return row("sub/") != Rgb({-1, -1, -1}); }, 5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(row("../"), plain);
    EXPECT_EQ(row("scene.txt"), plain);

    clickAt(40, rowY("sub/"), 2);
    ASSERT_TRUE(waitFor([&] { return row("b.txt") != Rgb({-1, -1, -1}); }, 5));
    EXPECT_TRUE(waitFor([&] { return at(470, 256) != background; }, 5)) << "b.txt not drawn";
    EXPECT_EQ(row("a.txt"), plain);
    EXPECT_NE(row("b.txt"), plain);
}

// After Enter, Escape or a click elsewhere in the panel, the shortcut keys act again without a
// click into the picture; a click into the log box takes no keys at all. The wheel moves the
// camera over the picture only.
TEST_F(ViewerEndToEnd, KeysActAgainAfterLeavingAField) {
    startViewer(boxScene);
    auto outlined = [&] { return drawnOnRow(300, 350, 590) < 24; };
    auto pressW = [&](bool thenOutlined) {
        xdotool("key w");
        return waitFor([&] { return outlined() == thenOutlined; }, 2);
    };
    clickAt(790, 33);   // the trackball's distance
    xdotool("type 40");
    xdotool("key Return");
    EXPECT_TRUE(waitFor([&] { return drawnOnRow(300, 350, 590) < 200; }, 2)) << "not typed";
    EXPECT_TRUE(pressW(true)) << "after Enter";

    clickAt(790, 33);
    xdotool("type 9");
    xdotool("key Escape");
    EXPECT_TRUE(pressW(false)) << "after Escape";
    EXPECT_EQ(exitStatus(0.2), -1) << "the Escape that left the field quit";

    clickAt(790, 33);
    xdotool("type 50");
    clickAt(860, 490);   // the right panel, under its boxes
    EXPECT_TRUE(pressW(true)) << "after a click outside the field";

    clickAt(100, 400);   // the log box
    EXPECT_TRUE(pressW(false)) << "after a click into the log box";

    const int far = drawnOnRow(256, 350, 590);
    moveTo(860, 300);
    xdotool("click 4");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(drawnOnRow(256, 350, 590), far) << "the wheel over a panel moved the camera";
    moveTo(470, 256);
    xdotool("click --repeat 3 --delay 30 4");
    EXPECT_TRUE(waitFor([&] { return drawnOnRow(256, 350, 590) > far; }, 2)) << "wheel";
}

// A held key acts while it is held and stops at its release, however long a frame takes. On a
// scene that takes a tenth of a second or more a frame, Z held long enough to repeat widens the
// view several times; after the release the picture changes at most twice more (the frame being
// drawn and the next), where a queue of one key change a frame went on for seconds.
TEST_F(ViewerEndToEnd, AHeldKeyStopsActingAtItsRelease) {
    // Spheres hidden inside the box cost the GL its time and leave the picture as it was.
    std::string scene = std::string(boxScene) + "Scale 0.4 0.4 0.4\n";
    for (int i = 0; i < 200; ++i) scene += "Sphere\n";
    startViewer(scene);
    const std::string overScene = "mousemove --window " + std::to_string(window) + " 470 256 ";
    auto fieldOfView = [&] {
        std::vector<TextLine> lines = grab().lines(740, 800, 245, 262, white);
        return lines.size() == 1 ? std::atoi(lines[0].text.c_str()) : -1;
    };
    ASSERT_EQ(fieldOfView(), 50);
    // How often the picture changes in that time, read as fast as the screen can be read.
    auto changesIn = [&](std::chrono::milliseconds span) {
        int changes = 0;
        auto end = Clock::now() + span;
        for (auto last = drawingArea(); Clock::now() < end;) {
            std::vector<unsigned long> now = drawingArea();
            changes += now != last;
            last = now;
        }
        return changes;
    };
    xdotool(overScene + "keydown Z");
    const int held = changesIn(std::chrono::milliseconds(1500));   // the server repeats from 0.66 s
    xdotool(overScene + "keyup Z");
    const int released = changesIn(std::chrono::seconds(3));
    std::cout << held << " changes of the picture while Z was held, " << released
              << " after its release; field of view " << fieldOfView() << "\n";
    EXPECT_LE(released, 2) << "the picture went on changing after the release";
    EXPECT_GE(fieldOfView(), 52) << "the held key did not repeat";
}

// In a small window the panels narrow, so that the scene keeps a third of the width, and their
// lists shorten, so that the file list and the log both show; the layout at the starting size
// is the one the other tests read.
TEST_F(ViewerEndToEnd, SmallWindowsKeepTheSceneTheFilesAndTheLog) {
    startViewer(boxScene);
    for (auto [width, height] : {std::pair{400, 300}, {600, 400}}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        xdotool("windowsize " + std::to_string(window) + " " + std::to_string(width) + " " +
                std::to_string(height));
        Screen screen;
        // The drawing area: the run of background on a row above the box, the box in its middle.
        int left = -1, right = -1;
        ASSERT_TRUE(waitFor([&] {
            screen = grab();
            if (screen.width != width || screen.height != height) return false;
            left = right = -1;
            for (int x = 0; x < width; ++x)
                if (screen.at(x, 10) == background) (left < 0 ? left : right) = x;
            return right - left + 1 >= width / 3 && screen.at((left + right) / 2, height / 2) != background;
        }, 5)) << "drawing area from " << left << " to " << right;
        std::vector<std::string> texts;
        for (const TextLine& line : screen.lines(0, left, 0, height, white)) texts.push_back(line.text);
        auto shows = [&](const std::string& start) {
            return std::any_of(texts.begin(), texts.end(),
                               [&](const std::string& t) { return t.rfind(start, 0) == 0; });
        };
        EXPECT_TRUE(shows("viewer.log")) << "the file list";
        EXPECT_TRUE(shows("Log")) << "the log's heading";
        EXPECT_TRUE(shows("Drawing")) << "the log";
    }
}

// --version and --help are answered on the terminal without a display; any other argument,
// one that looks like an option included, names the script.
TEST_F(ViewerEndToEnd, VersionAndHelpOnTheTerminalAndEveryOtherArgumentAScript) {
    for (const char* option : {"--version", "--help"}) {
        std::string command = std::string("env -u DISPLAY ") + CORVANE_VIEWER + " " + option +
                              " > " + directory + "/out.txt 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << option;
        std::string out = slurp(directory + "/out.txt");
        EXPECT_EQ(out.rfind(std::string(option) == "--help" ? "usage: corvane" : "corvane 0.", 0), 0u)
            << option << ": " << out;
    }
    // Without a display the viewer says which one it lacks and what draws without one.
    for (auto [environment, said] : {std::pair{"env -u DISPLAY ", "corvane: the viewer needs a display, and DISPLAY is "
                                                                 "not set; corvane-render draws scripts without one\n"},
                                     std::pair{"env DISPLAY=:987 ", "corvane: cannot open the display :987; "
                                                                    "corvane-render draws scripts without one\n"}}) {
        std::string command = environment + std::string(CORVANE_VIEWER) + " box.txt > " + directory + "/out.txt 2>&1";
        int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << environment;
        EXPECT_EQ(slurp(directory + "/out.txt"), said);
    }
    scriptName = "--box.txt";
    startViewer(boxScene);
    EXPECT_TRUE(waitFor([&] { return at(470, 256) != background; }, 5)) << "--box.txt not drawn";
}
}  // namespace

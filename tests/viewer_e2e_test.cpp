// The real corvane program as a person uses it: each test starts its own X server (so tests
// running side by side never see each other's windows), starts the viewer on a scene, drives
// it with xdotool and reads the screen back. Everything is polled with a time limit.
#include <gtest/gtest.h>
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
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;
using Rgb = std::array<int, 3>;
const Rgb background = {0, 0, 51};

// Starts a program in the directory with these arguments and extra environment, which takes
// the place of inherited variables of the same name (DISPLAY is never inherited); its output
// goes to the given file.
pid_t start(const std::vector<std::string>& command, const std::string& directory,
            const std::string& output, const std::vector<std::string>& environment) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> argv, envp;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    auto overridden = [&](const std::string& inherited) {
        std::string name = inherited.substr(0, inherited.find('=') + 1);
        if (name == "DISPLAY=") return true;
        for (const std::string& e : environment)
            if (e.rfind(name, 0) == 0) return true;
        return false;
    };
    for (char** e = environ; *e; ++e)
        if (!overridden(*e)) envp.push_back(*e);
    for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

template <class Condition>
bool waitFor(Condition condition, double seconds) {
    auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class ViewerEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        char scratch[] = "/tmp/corvane-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(scratch), nullptr);
        directory = scratch;
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
        int fds[2];   // the server writes its display number into fds[1]
        ASSERT_EQ(pipe(fds), 0);
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        server = start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                        "1280x1024x24", "-nolisten", "tcp", "-noreset"},
                       directory, directory + "/xvfb.log", {});
        close(fds[1]);
        ASSERT_GT(server, 0);
        std::string number;
        pollfd ready = {fds[0], POLLIN, 0};
        char c;
        while (poll(&ready, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        ASSERT_FALSE(number.empty()) << slurp(directory + "/xvfb.log");
        displayName = ":" + number;
        display = XOpenDisplay(displayName.c_str());
        ASSERT_NE(display, nullptr);
    }

    // Starts the viewer on the scene and waits until its window shows the panels.
    void startViewer(const std::string& scene, std::vector<std::string> environment = {}) {
        std::ofstream(directory + "/scene.txt") << scene;
        environment.push_back("DISPLAY=" + displayName);
        viewer = start({CORVANE_VIEWER, "scene.txt"}, directory, directory + "/viewer.log",
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

    static void stop(pid_t pid) {
        kill(pid, SIGTERM);
        int status;
        if (!waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 5)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
    }
    static std::string slurp(const std::string& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
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
}  // namespace

// corvane-render where no display exists: the same pictures as on a display, and nothing of its
// private X server left behind however the program ends.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/processes.h"
#include "tests/scratch.h"
#include "tests/script_generator.h"

namespace fs = std::filesystem;

namespace {
const std::string examples = CORVANE_SOURCE_DIR "/examples";

// The picture and the messages of one run, as the user gets them.
struct Rendering {
    int status;
    std::string picture, messages;
};

Rendering render(const std::string& directory, const std::string& script,
                 const std::string& display) {
    std::string environment = display.empty() ? "env -u DISPLAY -u WAYLAND_DISPLAY"
                                              : "env DISPLAY=" + display;
    std::string picture = fs::temp_directory_path() / ("corvane-headless-" +
                                                       std::to_string(getpid()) + ".png");
    std::string command = "cd " + directory + " && " + environment + " " CORVANE_RENDER " " +
                          script + " --size 200x150 --frames 3 --clock 1 -o " + picture +
                          " 2>" + picture + ".err";
    int status = std::system(command.c_str());
    Rendering run{WEXITSTATUS(status), slurp(picture), slurp(picture + ".err")};
    fs::remove(picture);
    fs::remove(picture + ".err");
    return run;
}

// The child of the program that is its private X server, or 0.
pid_t serverOf(pid_t program) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::istringstream stat(slurp(entry.path() / "stat"));
        pid_t pid = 0, parent = 0;
        std::string name;
        char state;
        if (stat >> pid >> name >> state >> parent && parent == program && name == "(Xvfb)")
            return pid;
    }
    return 0;
}

// The sockets the process holds that have a name, as "inode name" lines of /proc/net/unix.
std::vector<std::string> socketsOf(pid_t pid) {
    std::vector<std::string> inodes, sockets;
    std::error_code ignored;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ignored)) {
        std::string target = fs::read_symlink(fd.path(), ignored);
        if (target.rfind("socket:[", 0) == 0) inodes.push_back(target.substr(8, target.size() - 9));
    }
    std::istringstream table(slurp("/proc/net/unix"));
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string field, inode, name;
        for (int i = 0; i < 6 && fields >> field; ++i) {}
        if (fields >> inode >> name)
            for (const std::string& wanted : inodes)
                if (inode == wanted) sockets.push_back(inode + " " + name);
    }
    return sockets;
}

// Display numbers are taken again at once by other servers, so a socket is known by its inode.
bool stillOpen(const std::string& socket) {
    return slurp("/proc/net/unix").find(" " + socket + "\n") != std::string::npos;
}
}  // namespace

TEST(Headless, DrawsTheSamePixelsWithAndWithoutADisplay) {
    std::string directory = makeScratchDirectory("corvane-headless-");
    pid_t server = -1;
    std::string display = startXServer(server, directory + "/xvfb.log");
    ASSERT_FALSE(display.empty()) << slurp(directory + "/xvfb.log");

    std::vector<std::pair<std::string, std::string>> scenes;   // directory, script
    for (const auto& entry : fs::directory_iterator(examples))
        if (entry.path().extension() == ".txt")
            scenes.push_back({examples, entry.path().filename()});
    fs::copy_file(examples + "/checker.png", directory + "/checker.png");
    for (int seed = 0; seed < 24; ++seed) {
        std::string name = "generated" + std::to_string(seed) + ".txt";
        writeFile(directory + "/" + name, generateScript(seed));
        scenes.push_back({directory, name});
    }
    for (const auto& [where, script] : scenes) {
        SCOPED_TRACE(where + "/" + script);
        Rendering shown = render(where, script, display), headless = render(where, script, "");
        EXPECT_EQ(headless.status, shown.status);
        EXPECT_EQ(headless.messages, shown.messages);
        EXPECT_FALSE(headless.picture.empty());
        EXPECT_TRUE(headless.picture == shown.picture) << "the pictures differ";
    }
    stop(server);
    fs::remove_all(directory);
}

// Killed, interrupted, crashed or at its end: the private server ends with the program, and its
// sockets, all outside the file system, go with it. The test adopts the orphaned server, so
// that it sees it end.
TEST(Headless, NothingOutlivesTheProgram) {
    std::string directory = makeScratchDirectory("corvane-headless-");
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    for (int signal : {SIGKILL, SIGTERM, SIGINT, SIGSEGV, 0}) {
        SCOPED_TRACE(signal ? strsignal(signal) : "a normal end");
        std::string frames = signal ? "1000000" : "3";
        pid_t program = start({CORVANE_RENDER, "orrery.txt", "--frames", frames, "-o",
                               directory + "/orrery.png"},
                              examples, directory + "/render.log", {"WAYLAND_DISPLAY="});
        ASSERT_GT(program, 0);
        // A failed assertion below must not leave a million frames running.
        std::unique_ptr<pid_t, void (*)(pid_t*)> running(&program, [](pid_t* left) {
            if (*left > 0 && kill(*left, SIGKILL) == 0) waitpid(*left, nullptr, 0);
        });
        pid_t server = 0;
        std::vector<std::string> sockets;
        if (signal) {
            ASSERT_TRUE(waitFor([&] { return (server = serverOf(program)) > 0; }, 20));
            ASSERT_TRUE(waitFor([&] { return !(sockets = socketsOf(server)).empty(); }, 20));
            // While it runs its display number is its own: no lock file, no socket file.
            for (const std::string& socket : sockets) {
                std::string name = socket.substr(socket.find(' ') + 1);
                EXPECT_EQ(name.rfind("@/tmp/.X11-unix/X", 0), 0u) << name << " is a file";
                std::string display = name.substr(name.rfind('X') + 1);
                EXPECT_FALSE(fs::exists("/tmp/.X" + display + "-lock"));
                EXPECT_FALSE(fs::exists("/tmp/.X11-unix/X" + display));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(300));   // mid-drawing
            kill(program, signal);
        }
        int status = 0;
        ASSERT_EQ(waitpid(program, &status, 0), program);
        running.release();
        if (!signal) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                << slurp(directory + "/render.log");
            EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "the program left a process";
            continue;
        }
        EXPECT_TRUE(waitFor([&] { return waitpid(server, nullptr, WNOHANG) == server; }, 5))
            << "the X server outlived the program";
        for (const std::string& socket : sockets) EXPECT_FALSE(stillOpen(socket)) << socket;
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    fs::remove_all(directory);
}

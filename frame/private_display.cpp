// The private X server; see private_display.h. Nothing of it may outlive the program:
// - it listens only on Linux's abstract socket (-nolisten tcp, -nolisten unix), which vanishes
//   with the process, and -displayfd leaves no lock file, so however it ends nothing stays in /tmp;
// - it ends when its last client disconnects (-terminate), and the parent-death signal ends it
//   when the program dies first, by SIGKILL or a crash included;
// - it sits in a process group of its own, so a Ctrl-C at the terminal reaches the program
//   alone, which can then finish what it writes while its server is still there.
// An authorisation cookie, handed to the server in a memory file and to Xlib with
// XSetAuthorization, keeps other local users out of it; nothing is written to disk.
#include "frame/private_display.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string>

namespace {
// How long the server may take to accept connections (it takes about 0.1 s).
constexpr int startTimeoutMs = 20000;
const char* const authorisationName = "MIT-MAGIC-COOKIE-1";

using Cookie = std::array<unsigned char, 16>;

pid_t server = 0;   // the private server's process, once started

// One record of an X authority file: family, address, display number, name and data, each but
// the family a big-endian 16-bit length and its bytes. The server reads only the name and data.
std::string authorityRecord(const Cookie& cookie) {
    auto counted = [](const std::string& text) {
        return std::string{char(text.size() >> 8), char(text.size() & 0xff)} + text;
    };
    std::string family{char(1), char(0)};   // FamilyLocal
    return family + counted("localhost") + counted("") + counted(authorisationName) +
           counted(std::string(cookie.begin(), cookie.end()));
}

// A descriptor at 10 or above, so that the child can move it to 3 or 4 without overwriting the
// other one; the original is closed.
int moveHigh(int descriptor) {
    int high = fcntl(descriptor, F_DUPFD_CLOEXEC, 10);
    close(descriptor);
    return high;
}

// In the child, between fork and exec: only calls that are safe there.
[[noreturn]] void execServer(pid_t parent, int readyWriter, int authority) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);   // the program died before the signal was armed
    int quiet = open("/dev/null", O_RDWR);
    dup2(quiet, 0);
    dup2(quiet, 1);
    dup2(quiet, 2);
    dup2(readyWriter, 3);
    dup2(authority, 4);
    close_range(5, ~0U, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) ::signal(signal, SIG_DFL);
    const char* arguments[] = {"Xvfb", "-displayfd", "3", "-auth", "/proc/self/fd/4",
                               "-screen", "0", "64x64x24", "-nolisten", "tcp",
                               "-nolisten", "unix", "-terminate", nullptr};
    execvp("Xvfb", const_cast<char* const*>(arguments));
    _exit(127);
}

// The display number the server writes once it accepts connections. Empty when it does not:
// when it ends first (and it has then been waited for), or after the time-out.
std::string readDisplayNumber(int readyReader, bool& timedOut) {
    std::string number;
    pollfd ready{readyReader, POLLIN, 0};
    char byte = 0;
    for (;;) {
        int events = poll(&ready, 1, startTimeoutMs);
        if (events < 0 && errno == EINTR) continue;
        timedOut = events == 0;
        if (events <= 0 || read(readyReader, &byte, 1) != 1) return "";
        if (byte == '\n') return number;
        number += byte;
    }
}

std::string whyItFailed(bool timedOut) {
    int status = 0;
    if (timedOut) kill(server, SIGKILL);
    waitpid(server, &status, 0);
    server = 0;
    if (timedOut) return "the X server Xvfb did not start within 20 s";
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        return "no display to draw on, and no Xvfb to start one: install the xvfb package "
               "(apt install xvfb) or set DISPLAY";
    return "no display to draw on, and the X server Xvfb stopped as it started (" +
           (WIFEXITED(status) ? "status " + std::to_string(WEXITSTATUS(status))
                              : "signal " + std::to_string(WTERMSIG(status))) +
           "); set DISPLAY to a display that opens";
}
}  // namespace

std::string startPrivateDisplay(std::string& error) {
    Cookie cookie{};
    std::string record;
    int authority = memfd_create("corvane-xauth", MFD_CLOEXEC), ready[2] = {-1, -1};
    if (getrandom(cookie.data(), cookie.size(), 0) == ssize_t(cookie.size()))
        record = authorityRecord(cookie);
    if (record.empty() || authority < 0 || pipe2(ready, O_CLOEXEC) != 0 ||
        write(authority, record.data(), record.size()) != ssize_t(record.size())) {
        error = "cannot start an X server: no descriptors or no random bytes to be had";
        return "";
    }
    authority = moveHigh(authority);
    int readyWriter = moveHigh(ready[1]);
    pid_t parent = getpid();
    server = fork();
    if (server == 0) execServer(parent, readyWriter, authority);
    close(readyWriter);
    close(authority);
    bool timedOut = false;
    std::string number = server > 0 ? readDisplayNumber(ready[0], timedOut) : "";
    close(ready[0]);
    if (server < 0) error = "cannot start an X server: no process can be made";
    else if (number.empty()) error = whyItFailed(timedOut);
    if (number.empty()) return "";
    std::string name = authorisationName;
    XSetAuthorization(name.data(), int(name.size()), reinterpret_cast<char*>(cookie.data()),
                      int(cookie.size()));
    return ":" + number;
}

void endPrivateDisplay() {
    if (server <= 0) return;
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
    server = 0;
}

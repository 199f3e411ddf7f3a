// Programs and X servers for tests; see processes.h.
#include "tests/processes.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
// Spawns the program with the file actions given, in the environment start() describes.
pid_t spawn(const std::vector<std::string>& command, posix_spawn_file_actions_t& actions,
            const std::vector<std::string>& environment) {
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
    // Signals as a user's shell leaves them, whatever the test's own parent ignores or blocks.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}
}  // namespace

pid_t start(const std::vector<std::string>& command, const std::string& directory,
            const std::string& output, const std::vector<std::string>& environment) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    return spawn(command, actions, environment);
}

pid_t startPiped(const std::vector<std::string>& command, const std::string& directory,
                 const std::string& errors, const std::vector<std::string>& environment,
                 int& input, int& output) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return -1;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = spawn(command, actions, environment);
    close(in[0]);
    close(out[1]);
    input = in[1];
    output = out[0];
    if (pid < 0) {
        close(input);
        close(output);
    }
    return pid;
}

void stop(pid_t pid) {
    kill(pid, SIGTERM);
    int status;
    if (!waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 5)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
}

std::string startXServer(pid_t& server, const std::string& log) {
    int fds[2];   // the server writes its display number into fds[1]
    server = -1;
    if (pipe(fds) != 0) return "";
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    server = start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                    "-nolisten", "tcp", "-noreset"},
                   "/", log, {});
    close(fds[1]);
    std::string number;
    pollfd ready = {fds[0], POLLIN, 0};
    char c;
    while (server > 0 && poll(&ready, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty() && server > 0) {
        stop(server);
        server = -1;
    }
    return number.empty() ? "" : ":" + number;
}

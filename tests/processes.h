// Programs started by tests as users start them: in a directory, with an environment of the
// test's choosing, and an X server of a test's own for those that need a display.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// Starts a program in the directory with these arguments and extra environment, which takes
// the place of inherited variables of the same name (DISPLAY is never inherited); its output
// goes to the given file. -1 when it cannot be started.
pid_t start(const std::vector<std::string>& command, const std::string& directory,
            const std::string& output, const std::vector<std::string>& environment);
// The same with the program's standard input and output as pipes, whose other ends are returned
// (closed on exec); its standard error goes to the given file.
pid_t startPiped(const std::vector<std::string>& command, const std::string& directory,
                 const std::string& errors, const std::vector<std::string>& environment,
                 int& input, int& output);
// SIGTERM, then SIGKILL if it has not ended within 5 s; waits for it either way.
void stop(pid_t pid);
// An X server of the test's own on a display number it picks itself; its output goes to the
// log file. The display name (":N"), or empty with the pid -1 when none started.
std::string startXServer(pid_t& server, const std::string& log);

// Polls the condition every 20 ms until it holds or the time is up.
template <class Condition>
bool waitFor(Condition condition, double seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// corvane-lsp's run. The protocol gets standard output to itself, on a descriptor of its own,
// and descriptor 1, where a script's NURBS curves print their line, goes nowhere. This thread
// makes the GL session and runs every check, as the session's private X server lasts only as
// long as the thread that started it; a second thread reads the editor's messages and answers
// them, so hover and completion never wait for a check.
#include "lsp/lsp_tool.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <thread>

#include "analysis/check.h"
#include "analysis/check_queue.h"
#include "commands/registry.h"
#include "frame/session.h"
#include "lsp/server.h"
#include "lsp/transport.h"

namespace {
// Broken into lines here: CLI11 prints them as they are.
const char* const description =
    "The language server of Corvane scene scripts: diagnostics of the unsaved buffer\n"
    "from the viewer's own interpreter, hover, completion, definitions, references and\n"
    "the outline of display lists, for any editor with a Language Server Protocol client.";
const char* const footer =
    "It speaks the protocol on standard input and output and needs no display: without\n"
    "one it runs scripts on a private X server of its own. It ends at the end of its\n"
    "input (status 0) or at the editor's exit.";

// The drawing area checks run in: the viewer's window at start.
constexpr int checkWidth = 1000, checkHeight = 512;

// The protocol's descriptor, a copy of standard output. Descriptor 1 then writes nowhere: what a
// script prints (the line after each NURBS curve, every check) is no concern of the editor's.
int takeStandardOutput() {
    std::fflush(stdout);
    int protocol = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ::dup2(nowhere, STDOUT_FILENO);
    ::close(nowhere);
    return protocol;
}

void readMessages(int input, LanguageServer& server, CheckQueue& checks) {
    MessageReader reader(input);
    std::string problem;
    while (!server.exited()) {
        MessageReader::Next next = reader.next(problem);
        if (next == MessageReader::Next::end) break;
        if (next == MessageReader::Next::badHeader) server.receiveBadHeader(problem);
        else server.receive(reader.body());
    }
    checks.close();
}

// 0 to go on; else the status to exit with.
int parseOptions(int argc, char** argv) {
    CLI::App app(description, "corvane-lsp");
    app.footer(footer);
    app.get_formatter()->label("Usage", "usage");
    app.set_help_flag("-h,--help", "show this text");
    app.set_version_flag("--version", "corvane-lsp " CORVANE_VERSION, "show the version");
    bool standardStreams = true;   // the only transport there is
    app.add_flag("--stdio", standardStreams,
                 "speak on standard input and output (the default)");
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& done) {   // --help or --version
        app.exit(done);
        return -1;
    } catch (const CLI::ParseError& error) {
        std::cerr << "corvane-lsp: " << error.what() << "\n";
        return 2;
    }
    return 0;
}
}  // namespace

int serveEditor(int input, int output, const std::function<bool(std::string&)>& startChecks) {
    MessageWriter out(output);
    CheckQueue checks;
    std::error_code ignored;
    LanguageServer server(out, checks, std::filesystem::current_path(ignored).string());

    // The command words first, so the reading thread knows them while the session is made.
    registerCommands();
    std::thread reading(readMessages, input, std::ref(server), std::ref(checks));
    std::string why;
    bool canCheck = startChecks(why);
    if (!canCheck) server.checksUnavailable(why);

    CheckJob job;
    while (checks.take(job)) {
        if (!canCheck) continue;
        std::vector<Finding> findings = checkScript(job.text, job.place);
        checks.publishIfNewest(job, [&] { server.publish(job, findings); });
        job = {};
    }
    reading.join();
    return server.exitStatus();
}

int lspMain(int argc, char** argv) {
    if (int status = parseOptions(argc, argv)) return status < 0 ? 0 : status;
    ::signal(SIGPIPE, SIG_IGN);   // an editor gone away ends the writes, not the process
    return serveEditor(STDIN_FILENO, takeStandardOutput(),
                       [](std::string& why) { return startHeadless(checkWidth, checkHeight, why); });
}

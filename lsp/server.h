// The language server's side of the conversation: the editor's requests and notifications
// turned into calls on the analysis, and its answers and each check's findings turned back
// into the protocol's JSON. The editor's documents (their newest text) are kept here.
// Messages are received on one thread; the findings are published from the checking thread.
#pragma once

#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/check.h"
#include "analysis/check_queue.h"
#include "lsp/transport.h"

struct ServerState;

class LanguageServer {
public:
    // Documents that are not files (an unsaved new buffer) run from startDirectory.
    LanguageServer(MessageWriter& out, CheckQueue& checks, const std::string& startDirectory);
    ~LanguageServer();

    // One message's body, read from the stream to its end; a header that gave no usable length.
    void receive(std::istream& body);
    void receiveBadHeader(const std::string& problem);
    // Whether 'exit' has arrived: nothing more is to be read.
    bool exited() const;
    // The process's status: 1 after an exit that no shutdown came before, else 0 (also at the
    // end of the input).
    int exitStatus() const;

    // From the checking thread: the findings of a check, published as the job's diagnostics;
    // the job's hold on the text ends before the editor is told.
    void publish(CheckJob& job, const std::vector<Finding>& findings);
    // From the checking thread: no script can be run (nothing to draw with), said once to the user.
    void checksUnavailable(const std::string& why);

private:
    std::unique_ptr<ServerState> state;
};

// A language-server client for the tests and the benchmarks: corvane-lsp started as an editor
// starts it, with pipes to its standard input and output, and messages framed and read back with
// a time-out. Without DISPLAY in the environment it runs scripts on its own X server.
#pragma once

#include <sys/types.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

class LspClient {
public:
    using json = nlohmann::json;

    // Starts the server in the directory; its standard error goes to errorsFile.
    LspClient(const std::string& directory, const std::string& errorsFile,
              const std::vector<std::string>& environment = {});
    ~LspClient();
    bool started() const { return pid > 0; }
    pid_t process() const { return pid; }

    void send(const json& message);
    void sendBytes(const std::string& bytes);
    // Sends a request and waits for its response; other messages met meanwhile are kept.
    json request(const std::string& method, const json& params, double seconds = 20);
    void notify(const std::string& method, const json& params);
    // initialize and initialized, with the client capabilities given.
    json initialize(const json& capabilities = json::object());

    // The next message that matches, from those kept first; null after the time-out or at the end
    // of the output.
    json waitFor(const std::function<bool(const json&)>& match, double seconds = 20);
    // The next publishDiagnostics for the document.
    json diagnosticsOf(const std::string& uri, double seconds = 20);
    // Every message kept so far and not yet taken.
    std::vector<json> kept;

    // Closes the server's input and waits for it to end: its exit status, or -1 when it had to
    // be killed.
    int finish(double seconds = 20);

private:
    // The next message from the server; null after the time-out or at the end of the output.
    json receive(double seconds);

    pid_t pid = -1;
    int input = -1, output = -1;
    std::string buffer;   // bytes read and not yet framed
    int nextId = 1;
};

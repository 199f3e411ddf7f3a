// The test client; see lsp_client.h.
#include "tests/lsp_client.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "tests/processes.h"

namespace {
double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

LspClient::LspClient(const std::string& directory, const std::string& errorsFile,
                     const std::vector<std::string>& environment) {
    pid = startPiped({CORVANE_LSP}, directory, errorsFile, environment, input, output);
}

LspClient::~LspClient() {
    if (pid > 0) finish(5);
}

void LspClient::sendBytes(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t written = ::write(input, bytes.data() + done, bytes.size() - done);
        if (written <= 0) return;
        done += std::size_t(written);
    }
}

void LspClient::send(const json& message) {
    std::string body = message.dump();
    sendBytes("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
}

void LspClient::notify(const std::string& method, const json& params) {
    send({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
}

LspClient::json LspClient::request(const std::string& method, const json& params, double seconds) {
    int id = nextId++;
    send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}});
    return waitFor([&](const json& message) { return message.value("id", json()) == id; }, seconds);
}

LspClient::json LspClient::initialize(const json& capabilities) {
    json answer = request("initialize", {{"processId", getpid()}, {"rootUri", nullptr}, {"capabilities", capabilities}});
    notify("initialized", json::object());
    return answer;
}

LspClient::json LspClient::receive(double seconds) {
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        std::size_t headerEnd = buffer.find("\r\n\r\n");
        if (headerEnd != std::string::npos) {
            std::size_t length = std::stoul(buffer.substr(buffer.find(':') + 1, headerEnd));
            if (buffer.size() >= headerEnd + 4 + length) {
                json message = json::parse(buffer.substr(headerEnd + 4, length));
                buffer.erase(0, headerEnd + 4 + length);
                return message;
            }
        }
        int left = int(1000 * (seconds - secondsSince(start)));
        pollfd ready{output, POLLIN, 0};
        if (left <= 0 || poll(&ready, 1, left) <= 0) return nullptr;
        char chunk[65536];
        ssize_t got = ::read(output, chunk, sizeof chunk);
        if (got <= 0) return nullptr;
        buffer.append(chunk, std::size_t(got));
    }
}

LspClient::json LspClient::waitFor(const std::function<bool(const json&)>& match, double seconds) {
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        if (match(*it)) {
            json found = *it;
            kept.erase(it);
            return found;
        }
    }
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        json message = receive(seconds - secondsSince(start));
        if (message.is_null() || match(message)) return message;
        kept.push_back(std::move(message));
    }
}

LspClient::json LspClient::diagnosticsOf(const std::string& uri, double seconds) {
    return waitFor([&](const json& message) {
        return message.value("method", "") == "textDocument/publishDiagnostics" && message["params"]["uri"] == uri;
    }, seconds);
}

int LspClient::finish(double seconds) {
    if (pid <= 0) return -1;
    if (input >= 0) close(input);
    input = -1;
    // What it still writes is read, so that it never waits on a full pipe.
    auto start = std::chrono::steady_clock::now();
    for (json message; !(message = receive(seconds - secondsSince(start))).is_null();)
        kept.push_back(std::move(message));
    int status = 0;
    bool ended = ::waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; },
                           std::max(seconds - secondsSince(start), 1.0));
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    close(output);
    pid = -1;
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

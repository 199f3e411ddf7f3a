// The language server under libFuzzer: each input is the editor's side of a conversation, served
// as corvane-lsp serves its standard input, every check run in a real GL context. The input's
// lines are message bodies, each framed here with its own Content-Length, so that mutations reach
// the JSON, the edits and the positions rather than only break the framing; an input whose first
// byte is '!' is given as it stands, headers and all. Each conversation starts with initialize,
// so that every method can be reached. A crash, a leak or a hang is what is looked for: the
// answers go nowhere.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "frame/session.h"
#include "lsp/lsp_tool.h"

namespace {
int nowhere = -1;
int startDirectory = -1;   // a check moves to its document's directory; libFuzzer's paths are relative

void addMessage(std::string& conversation, std::string_view body) {
    conversation += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    conversation += body;
}

bool writeAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0) return false;
        done += std::size_t(wrote);
    }
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string error;
    if (!startHeadless(64, 64, error)) {
        std::fprintf(stderr, "lsp_fuzzer: %s\n", error.c_str());
        std::exit(2);
    }
    nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    startDirectory = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return nowhere < 0 || startDirectory < 0 ? 2 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string conversation;
    addMessage(conversation, R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"capabilities":{}}})");
    if (!input.empty() && input[0] == '!') {
        conversation += input.substr(1);
    } else {
        while (!input.empty()) {
            std::size_t end = std::min(input.find('\n'), input.size());
            addMessage(conversation, input.substr(0, end));
            input.remove_prefix(std::min(end + 1, input.size()));
        }
    }
    int fd = ::memfd_create("conversation", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (writeAll(fd, conversation) && ::lseek(fd, 0, SEEK_SET) == 0)
        serveEditor(fd, nowhere, [](std::string&) { return true; });   // the GL is made once, above
    ::close(fd);
    if (::fchdir(startDirectory) != 0) std::abort();
    return 0;
}

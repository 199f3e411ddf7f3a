// The protocol's framing: each message a header of "Name: value" lines, a blank line, then a
// body of exactly Content-Length bytes. The reader keeps its place after a bad header, so one
// malformed message never costs the ones after it.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

class MessageReader {
public:
    explicit MessageReader(int descriptor) : fd(descriptor) {}

    enum class Next { message, badHeader, end };
    // The next message's body; or a header that gives no usable length, with why; or the end of
    // the input (also inside a message cut short).
    Next next(std::string& body, std::string& problem);

    // Bodies larger than this are skipped, not held: no editor sends a script's text that large.
    static constexpr std::int64_t largestBody = std::int64_t(1) << 30;

private:
    bool fill();
    // One header line without its line end; false at the end of the input.
    bool readLine(std::string& line, bool& tooLong);
    bool readBody(std::int64_t length, std::string* body);

    int fd;
    std::string buffer;     // bytes read and not yet taken, from start
    std::size_t start = 0;
    std::int64_t skipping = 0;   // bytes of a refused body still to be read past
};

class MessageWriter {
public:
    explicit MessageWriter(int descriptor) : fd(descriptor) {}
    // Frames and writes one body; whole messages, one at a time from any thread. False once the
    // other end has gone.
    bool write(const std::string& body);

private:
    std::mutex lock;
    int fd;
    bool gone = false;
};

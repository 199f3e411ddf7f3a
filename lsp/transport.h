// The protocol's framing: each message a header of "Name: value" lines, a blank line, then a
// body of exactly Content-Length bytes. A body is read as a stream, never held whole: a script
// of 50 MB arrives once, as the text the JSON parser makes of it. The reader keeps its place
// after a bad header or a body left half read, so one malformed message never costs the next.
#pragma once

#include <cstdint>
#include <istream>
#include <mutex>
#include <streambuf>
#include <string>

class MessageReader {
public:
    explicit MessageReader(int descriptor) : fd(descriptor), bodyStream(&bodyBytes) {}

    enum class Next { message, badHeader, end };
    // Reads on to the next header, past what is left of the last body: message when a body
    // follows, to be read from body(); badHeader, with why, when the header gives no usable
    // length; end at the end of the input.
    Next next(std::string& problem);
    // The body of the message next() found: exactly its Content-Length bytes, then the end.
    std::istream& body() { return bodyStream; }

    // A body larger than this is refused at its header and skipped: no script is that large.
    static constexpr std::int64_t largestBody = std::int64_t(1) << 30;

private:
    // The body's bytes, handed out from the reader's buffer, refilled from the input.
    class BodyBytes : public std::streambuf {
    public:
        explicit BodyBytes(MessageReader& reader) : reader(reader) {}
        void start(std::int64_t length);
        // The body's bytes still in the input: those handed out are the reader's no more.
        std::int64_t notHandedOut() const { return left; }

    protected:
        int_type underflow() override;

    private:
        MessageReader& reader;
        std::int64_t left = 0;   // not yet handed out
    };

    bool fill();
    // One header line without its line end; false at the end of the input.
    bool readLine(std::string& line, bool& tooLong);
    bool skip(std::int64_t length);

    int fd;
    std::string buffer;     // bytes read and not yet taken, from start
    std::size_t start = 0;
    BodyBytes bodyBytes{*this};
    std::istream bodyStream;
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

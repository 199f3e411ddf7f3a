// ScriptStream: what a command's handler reads its arguments from, positioned just after its
// word. Underneath is either the script read from its file (ScriptReader) or a tape of an
// earlier frame replayed (TapePlayer); a handler cannot tell which, and every read gives the
// same value, flags and position either way.
#pragma once

#include <cstdint>
#include <string>

// The flags of a stream, with the values and meaning of std::ios_base::iostate.
struct StreamFlags {
    using State = unsigned;
    static constexpr State goodbit = 0;
    static constexpr State badbit = 1;
    static constexpr State eofbit = 2;
    static constexpr State failbit = 4;
};

class ScriptStream : public StreamFlags {
public:
    // Formatted extraction, as operator>> does: white space skipped first; a read that finds no
    // token leaves the variable as it was.
    virtual ScriptStream& operator>>(std::string& word) = 0;
    virtual ScriptStream& operator>>(int& value) = 0;
    virtual ScriptStream& operator>>(float& value) = 0;
    virtual ScriptStream& operator>>(char& value) = 0;
    // To a byte offset from the start of the file (BeginList, past a compiled list's body).
    virtual ScriptStream& seekg(std::int64_t position) = 0;
    // The byte offset after the last read.
    virtual std::int64_t position() const = 0;

    virtual State rdstate() const = 0;
    explicit operator bool() const { return (rdstate() & (failbit | badbit)) == 0; }

protected:
    ~ScriptStream() = default;
};

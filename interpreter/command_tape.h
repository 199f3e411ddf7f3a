// CommandTape: what one clean frame of a script version did, command by command: the handler,
// where its word stands in the file, and every value its reads produced (the value, the stream's
// flags after it, the position after it), failed reads included. Later frames of the same
// version replay the tape instead of opening and scanning the file: each handler runs again
// with the same arguments, so it makes its GL calls and reads the clock, the panel and the
// trackball afresh, and only the scanning of text is saved.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ScriptStream;

class CommandTape {
public:
    // A tape may hold at most this much; a version that needs more is read every frame.
    static constexpr std::size_t largestSize = 16 * 1024 * 1024;

    enum class Kind : std::uint8_t { word, whole, number, character, seek };

    struct Value {
        union {
            float number;
            int whole;
            char character;
            std::uint32_t word;   // index into the tape's words
        };
        Kind kind;
        std::uint8_t flags;       // ScriptStream's state after the read
        std::int64_t end;         // the stream's position after the read
    };

    using Handler = bool (*)(ScriptStream&);   // a CommandHandler

    struct Command {
        Handler handler;
        std::int64_t offset;      // of the command word, for message locations
        std::uint32_t firstValue;
    };

    void clear();
    // Recording. A command, then the values its handler reads.
    void addCommand(Handler handler, std::int64_t offset);
    void addValue(const Value& value);
    void addWord(const std::string& word, std::uint8_t flags, std::int64_t end);
    // Whether the tape has grown past largestSize; it is then no use and holds nothing more.
    bool overflowed() const { return tooLarge; }
    std::size_t size() const;

    const std::vector<Command>& commands() const { return recorded; }
    const Value& value(std::size_t index) const { return values[index]; }
    std::size_t valueCount() const { return values.size(); }
    const std::string& word(std::uint32_t index) const { return words[index]; }

private:
    bool room(std::size_t more);

    std::vector<Command> recorded;
    std::vector<Value> values;
    std::vector<std::string> words;
    std::size_t wordBytes = 0;
    bool tooLarge = false;
};

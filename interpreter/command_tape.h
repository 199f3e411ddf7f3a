// CommandTape: what one clean frame of a script version did, command by command: the handler,
// where its word stands in the file, and every value its reads produced (the value, the stream's
// flags after it, the position after it), failed reads included. Later frames of the same
// version replay the tape instead of opening and scanning the file: each handler runs again
// with the same arguments, so it makes its GL calls and reads the clock, the panel and the
// trackball afresh, and only the scanning of text is saved.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
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

        template <class T>
        T as() const {
            if constexpr (std::is_same_v<T, float>) return number;
            if constexpr (std::is_same_v<T, int>) return whole;
            if constexpr (std::is_same_v<T, char>) return character;
        }
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
    // end is the stream's position after the read. It is kept apart from the values, which a
    // replay reads all of, while it asks for a position only now and then.
    void addValue(const Value& value, std::int64_t end) {
        if (!tooLarge && bytes + valueSize <= largestSize && values.size() < values.capacity() &&
            ends.size() < ends.capacity()) {   // the common case, inline: recording is per value
            values.push_back(value);
            ends.push_back(end);
            bytes += valueSize;
        } else {
            addValueGrowing(value, end);
        }
    }
    void addWord(const std::string& word, std::uint8_t flags, std::int64_t end);
    // Whether the tape has grown past largestSize; it is then no use and holds nothing more.
    bool overflowed() const { return tooLarge; }
    std::size_t size() const { return bytes; }

    const std::vector<Command>& commands() const { return recorded; }
    const Value& value(std::size_t index) const { return values[index]; }
    const Value* valueData() const { return values.data(); }
    std::int64_t end(std::size_t index) const { return ends[index]; }
    std::size_t valueCount() const { return values.size(); }
    const std::string& word(std::uint32_t index) const { return words[index]; }

    // What a value costs, its end included.
    static constexpr std::size_t valueSize = sizeof(Value) + sizeof(std::int64_t);

private:
    bool room(std::size_t more);
    void addValueGrowing(const Value& value, std::int64_t end);

    std::vector<Command> recorded;
    std::vector<Value> values;
    std::vector<std::int64_t> ends;   // of each value's read
    std::vector<std::string> words;
    std::size_t bytes = 0;   // what the lists hold, words' text included
    bool tooLarge = false;
};

// CommandTape: what one clean frame of a script version did, command by command: the handler,
// where its word stands in the file, and every value its reads produced (the value, the stream's
// flags after it, the position after it), failed reads included. The ScriptReader records it;
// later frames of the same version replay it through a TapePlayer instead of opening and
// scanning the file: each handler runs again with the same arguments (a plain command only hands
// its numbers on, to the function it hands them to), so the GL calls are made and the clock, the
// panel and the trackball read afresh, and only the scanning of text is saved.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "interpreter/command_table.h"

class CommandTape {
public:
    // A tape may hold at most this much; a version that needs more is read every frame.
    static constexpr std::size_t largestSize = 16 * 1024 * 1024;

    enum class Kind : std::uint8_t { word, whole, number, character, seek };
    // In a value's flags: the read stored a value.
    static constexpr std::uint8_t assignedBit = 0x80;

    struct Value {
        union {
            float number;
            int whole;
            char character;
            std::uint32_t word;   // index into the tape's words
        };
        std::uint32_t end;        // the stream's position after the read, from its command's word
        Kind kind;
        std::uint8_t flags;       // the stream's state after the read, and assignedBit

        template <class T>
        T as() const {
            if constexpr (std::is_same_v<T, float>) return number;
            if constexpr (std::is_same_v<T, int>) return whole;
            if constexpr (std::is_same_v<T, char>) return character;
        }
        template <class T>
        void set(T payload) {
            if constexpr (std::is_same_v<T, float>) number = payload;
            if constexpr (std::is_same_v<T, int>) whole = payload;
            if constexpr (std::is_same_v<T, char>) character = payload;
            if constexpr (std::is_same_v<T, std::uint32_t>) word = payload;
        }
    };

    struct Command {
        CommandHandler handler;
        std::int64_t offset;      // of the command word, for message locations
        std::uint32_t firstValue;
        // A plain command (its values exactly the numbers its handler's plain form takes, all
        // read cleanly): 1 + the index of that form in plainForms(). Otherwise 0.
        std::uint8_t plainForm;
    };

    void clear();
    // Recording. A command, then the values its handler reads; finish after the last one.
    void addCommand(CommandHandler handler, std::int64_t offset) {
        settleLastCommand();
        if (recorded.size() < recorded.capacity()) {   // inline, as addValue
            recorded.push_back({handler, offset, std::uint32_t(values.size()), 0});
            commandOffset = offset;
        } else {
            addCommandGrowing(handler, offset);
        }
    }
    // end is the stream's position after the read. The value is written field by field where it
    // goes: built first and copied whole, it made every read wait for its own parts to be stored.
    template <class T>
    void addValue(Kind kind, T payload, std::uint8_t flags, std::int64_t end) {
        const std::uint64_t fromCommand = std::uint64_t(end - commandOffset);
        if (values.size() < values.capacity() && fromCommand <= UINT32_MAX) {
            Value& value = values.emplace_back();   // the common case, inline: recording is per value
            value.set(payload);
            value.end = std::uint32_t(fromCommand);
            value.kind = kind;
            value.flags = flags;
        } else {
            Value value{};
            value.set(payload);
            value.kind = kind;
            value.flags = flags;
            addValueGrowing(value, end);
        }
    }
    void addWord(const std::string& word, std::uint8_t flags, std::int64_t end);
    void finish() { settleLastCommand(); }
    // Whether the tape has grown past largestSize; it is then no use and holds nothing more.
    bool overflowed() const { return tooLarge; }
    // What it holds, in bytes. Its memory, what its lists have room for, stays within
    // largestSize; a list grows into what is left when doubling would pass it.
    std::size_t size() const {
        return recorded.size() * sizeof(Command) + values.size() * sizeof(Value) + wordBytes;
    }

    const std::vector<Command>& commands() const { return recorded; }
    const std::vector<Value>& valueList() const { return values; }
    const std::string& word(std::uint32_t index) const { return words[index]; }

private:
    // What the lists have room for, and the words.
    std::size_t memory() const {
        return recorded.capacity() * sizeof(Command) + values.capacity() * sizeof(Value) + wordBytes;
    }
    template <class T>
    bool grow(std::vector<T>& list);   // room for one more, or lets go when there is none
    void letGo();                      // of everything: the tape is no use
    void addValueGrowing(const Value& value, std::int64_t end);
    void addCommandGrowing(CommandHandler handler, std::int64_t offset);
    // Marks the last command recorded plain when it is.
    void settleLastCommand() {
        if (recorded.empty()) return;
        Command& command = recorded.back();
        if (command.handler != formHandler) lookUpPlainForm(command.handler);
        if (formCount == 0 || values.size() - command.firstValue != formCount) return;
        for (std::size_t v = command.firstValue; v < values.size(); ++v)
            if (values[v].kind != Kind::number || values[v].flags != assignedBit) return;
        command.plainForm = std::uint8_t(form + 1);
    }
    void lookUpPlainForm(CommandHandler handler);

    std::vector<Command> recorded;
    std::vector<Value> values;
    std::int64_t commandOffset = 0;   // of the command being recorded
    std::vector<std::string> words;
    std::size_t wordBytes = 0;   // the words and their text
    bool tooLarge = false;
    // The handler whose plain form was looked up last (commands mostly come in runs of one
    // word), the index of that form and how many numbers it takes (0 when it has none).
    CommandHandler formHandler = nullptr;
    int form = -1;
    std::size_t formCount = 0;
};

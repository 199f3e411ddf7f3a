// CommandTape: what one clean frame of a script version did, command by command: the handler,
// where its word stands in the file, and every value its reads produced (the value, the stream's
// flags after it, the position after it), failed reads included. The ScriptReader records it;
// later frames of the same version replay it through a TapePlayer instead of opening and
// scanning the file: each handler runs again with the same arguments, so the GL calls are made
// and the clock, the panel and the trackball read afresh, and only the scanning of text is saved.
// A plain command (its numbers read cleanly, as many as its handler's plain form takes) is kept
// in 16 bytes, its form and its numbers, and replayed by handing the numbers on to the form.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <type_traits>

#include "interpreter/block_list.h"
#include "interpreter/command_table.h"

class CommandTape {
public:
    // A tape may hold at most this many bytes; a version that needs more is read every frame.
    static constexpr std::size_t largestSize = 24 * 1024 * 1024;

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

    // Any other command.
    struct Command {
        CommandHandler handler;
        std::int64_t offset;        // of the command word, for message locations
        std::uint32_t firstValue;
        std::uint32_t plainBefore;  // the plain commands recorded before this one, all told
    };

    struct PlainCommand {
        std::uint32_t form;         // its index in plainForms()
        float numbers[3];           // as many as the form takes, then 0
    };

    void clear();
    // Recording. A command, then the values its handler reads; finish after the last one. The
    // last command waits here until the next comes: kept as a plain command or added as it is.
    void addCommand(CommandHandler handler, std::int64_t offset) {
        settleLastCommand();
        if (!take(sizeof(Command))) return;
        last = {handler, offset, std::uint32_t(values.size()), std::uint32_t(plain.size())};
        lastWaiting = true;
    }
    // end is the stream's position after the read. The value is written field by field where it
    // goes: built first and copied whole, it made every read wait for its own parts to be stored.
    template <class T>
    void addValue(Kind kind, T payload, std::uint8_t flags, std::int64_t end) {
        const std::uint64_t fromCommand = std::uint64_t(end - last.offset);
        if (fromCommand > UINT32_MAX) letGo();   // more than 4 GiB past its word: a tape cannot say where
        if (!take(sizeof(Value))) return;
        Value& value = values.emplace_back();
        value.set(payload);
        value.end = std::uint32_t(fromCommand);
        value.kind = kind;
        value.flags = flags;
    }
    void addWord(const std::string& word, std::uint8_t flags, std::int64_t end);
    // True when the tape is complete and within largestSize.
    bool finish();
    // Whether the tape has passed largestSize; it is then no use and holds nothing more.
    bool overflowed() const { return tooLarge; }
    // The bytes it holds: its commands, values, plain commands and words.
    std::size_t size() const { return used; }

    const BlockList<Command>& commandList() const { return commands; }
    const BlockList<Value>& valueList() const { return values; }
    const BlockList<PlainCommand>& plainList() const { return plain; }
    const std::string& word(std::uint32_t index) const { return words[index]; }

private:
    // Counts bytes about to be added; false, having let go of everything, when the tape passes
    // its limit by more than settling the last command can give back.
    bool take(std::size_t bytes) {
        if (tooLarge) return false;
        used += bytes;
        if (used <= largestSize + sizeof(Command) + 3 * sizeof(Value)) return true;
        letGo();
        return false;
    }
    void letGo();   // of everything: the tape is no use
    void settleLastCommand() {
        if (!lastWaiting) return;
        lastWaiting = false;
        if (last.handler != formHandler) lookUpPlainForm(last.handler);
        if (formCount == 0 || !keptPlain()) commands.emplace_back() = last;
    }
    void lookUpPlainForm(CommandHandler handler);
    // Keeps the last command as a plain command when its values make it one.
    bool keptPlain();

    BlockList<Command> commands;
    BlockList<Value> values;
    BlockList<PlainCommand> plain;
    std::deque<std::string> words;   // a deque, which grows by small blocks, for words are few
    std::size_t used = 0;          // bytes, as size() counts them
    Command last = {};             // the command being recorded
    bool lastWaiting = false;      // ... not yet settled
    bool tooLarge = false;
    // The handler whose plain form was looked up last (commands mostly come in runs of one
    // word), the index of that form and how many numbers it takes (0 when it has none).
    CommandHandler formHandler = nullptr;
    int form = -1;
    std::size_t formCount = 0;
};

// TapePlayer: the runner's command source while a version replays its tape. It hands back each
// recorded command in order, and to its handler exactly what each read gave when it was
// recorded: the value, the flags and the position. A plain command's numbers go straight to its
// plain form instead, as its handler would hand them on.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "interpreter/command_tape.h"
#include "interpreter/script_stream.h"

class TapePlayer final : public ScriptStream {
public:
    explicit TapePlayer(const CommandTape& tape);

    // Moves to the next command; false after the last.
    bool next() { return ++current < commands.size(); }
    CommandHandler handler() const { return commands[current].handler; }
    std::int64_t offset() const { return commands[current].offset; }
    std::string word() const { return commandWord(handler()); }
    // Runs the command; false when it reported an error of its own.
    bool carryOut() {
        const CommandTape::Command& command = commands[current];
        if (command.plainForm == 0) {
            nextValue = command.firstValue;
            valuesEnd = current + 1 < commands.size() ? commands[current + 1].firstValue : values.size();
            lastValueRead = noValueRead;
            return command.handler(*this);
        }
        const PlainForm& form = forms[command.plainForm - 1];
        const CommandTape::Value* numbers = &values[command.firstValue];
        float given[3] = {numbers[0].number, form.count > 1 ? numbers[1].number : 0,
                          form.count > 2 ? numbers[2].number : 0};
        form.give(given);
        return true;
    }

    ScriptStream& operator>>(std::string& word) override;
    ScriptStream& operator>>(int& value) override { return replay(CommandTape::Kind::whole, value); }
    ScriptStream& operator>>(float& value) override { return replay(CommandTape::Kind::number, value); }
    ScriptStream& operator>>(char& value) override { return replay(CommandTape::Kind::character, value); }
    ScriptStream& seekg(std::int64_t position) override;
    std::int64_t position() const override {
        return offset() + (lastValueRead == noValueRead ? 0 : values[lastValueRead].end);
    }
    State rdstate() const override { return flags; }

private:
    // The recorded read stands in for this one. A read the tape does not hold for this command
    // (which a clean version never makes) fails, as a read past the end of the file would.
    template <class T>
    ScriptStream& replay(CommandTape::Kind kind, T& variable) {
        if (const CommandTape::Value* recorded = nextRecorded(kind))
            if (recorded->flags & CommandTape::assignedBit) variable = recorded->as<T>();
        return *this;
    }
    // The next recorded read, whose flags and position this one takes; null, and the stream
    // failed, when the tape holds no such read.
    const CommandTape::Value* nextRecorded(CommandTape::Kind kind) {
        if (nextValue >= valuesEnd || values[nextValue].kind != kind) {
            flags |= failbit | eofbit;
            return nullptr;
        }
        lastValueRead = nextValue;
        const CommandTape::Value* recorded = &values[nextValue++];
        flags = recorded->flags & ~CommandTape::assignedBit;
        return recorded;
    }

    const CommandTape& tape;
    std::span<const CommandTape::Command> commands;
    std::span<const CommandTape::Value> values;
    std::span<const PlainForm> forms;
    static constexpr std::size_t noValueRead = ~std::size_t(0);
    std::size_t current = noValueRead;          // the command being replayed; before the first
    std::size_t nextValue = 0;                  // ... its next value
    std::size_t valuesEnd = 0;                  // ... the end of its values
    std::size_t lastValueRead = noValueRead;    // ... the last value it read: the position is after
    State flags = goodbit;
};

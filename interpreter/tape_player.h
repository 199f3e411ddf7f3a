// TapePlayer: the runner's command source while a version replays its tape. It hands back each
// recorded command in order, and to its handler exactly what each read gave when it was
// recorded: the value, the flags and the position. The plain commands between two others go
// over as one step, each one's numbers straight to its plain form, as its handler would hand
// them on.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "interpreter/command_tape.h"
#include "interpreter/script_stream.h"

class TapePlayer final : public ScriptStream {
public:
    explicit TapePlayer(const CommandTape& tape);

    // Moves to the next step: the plain commands recorded before the next other command, or
    // else that command. False after the last.
    bool next() {
        const std::size_t plainEnd = nextCommand < commands.size() ? commands[nextCommand].plainBefore : plain.size();
        if (nextPlain < plainEnd) {
            plainRun = plainEnd - nextPlain;
            return true;
        }
        plainRun = 0;
        if (nextCommand == commands.size()) return false;
        current = &commands[nextCommand++];
        return true;
    }
    // At a step of plain commands, carries them out and says how many they were; otherwise 0.
    std::size_t givePlainCommands() { return plainRun > 0 ? givePlainRun() : 0; }
    CommandHandler handler() const { return current->handler; }
    std::int64_t offset() const { return current->offset; }
    std::string word() const { return commandWord(handler()); }
    // Runs the command; false when it reported an error of its own.
    bool carryOut() {
        nextValue = current->firstValue;
        valuesEnd = nextCommand < commands.size() ? commands[nextCommand].firstValue : values.size();
        lastValueRead = noValueRead;
        return current->handler(*this);
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
    std::size_t givePlainRun();
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
    const BlockList<CommandTape::Command>& commands;
    const BlockList<CommandTape::Value>& values;
    const BlockList<CommandTape::PlainCommand>& plain;
    std::span<const PlainForm> forms;
    std::size_t nextCommand = 0;                // the next command to step to
    std::size_t nextPlain = 0;                  // the next plain command to step to
    std::size_t plainRun = 0;                   // the plain commands of this step
    const CommandTape::Command* current = nullptr;   // the command of this step
    static constexpr std::size_t noValueRead = ~std::size_t(0);
    std::size_t nextValue = 0;                  // its next value
    std::size_t valuesEnd = 0;                  // the end of its values
    std::size_t lastValueRead = noValueRead;    // the last value it read: the position is after
    State flags = goodbit;
};

// ScriptReader: the runner's command source while a script is read from its file. It finds each
// command word through the scanner, past comments, and gives the handler the arguments the
// scanner reads. Given a tape, it is the tape's recorder: every command and every argument read
// goes onto the tape as well; the command words and comments, which a replay does not read, stay
// off it.
#pragma once

#include <cstdint>
#include <string>

#include "interpreter/command_table.h"
#include "interpreter/command_tape.h"
#include "interpreter/script_scanner.h"
#include "interpreter/script_stream.h"

class ScriptReader final : public ScriptStream {
public:
    // Reads through scanner; records onto tape unless it is null.
    ScriptReader(ScriptScanner& scanner, CommandTape* tape) : scanner(scanner), tape(tape) {}

    // Reads on to the next command word; false at the end of the script, or where reading stopped.
    bool next();
    // The word's handler, null for a word the table does not hold.
    CommandHandler handler() const { return wordHandler; }
    std::int64_t offset() const { return wordOffset; }
    const std::string& word() const { return token; }
    // Runs the command; false when it reported an error of its own.
    bool carryOut() { return wordHandler(*this); }
    // Read from the file, every command is a step of its own (see TapePlayer).
    static constexpr std::size_t givePlainCommands() { return 0; }

    ScriptStream& operator>>(std::string& word) override;
    ScriptStream& operator>>(int& value) override { return readAndRecord(CommandTape::Kind::whole, value); }
    ScriptStream& operator>>(float& value) override { return readAndRecord(CommandTape::Kind::number, value); }
    ScriptStream& operator>>(char& value) override { return readAndRecord(CommandTape::Kind::character, value); }
    ScriptStream& seekg(std::int64_t position) override;
    std::int64_t position() const override { return scanner.position(); }
    State rdstate() const override { return scanner.rdstate(); }

private:
    template <class T>
    ScriptStream& readAndRecord(CommandTape::Kind kind, T& value) {
        const bool assigned = scanner.read(value);
        if (tape) tape->addValue(kind, value, recordedFlags(assigned), scanner.position());
        return *this;
    }
    // The flags as the tape keeps them, with whether the read stored a value.
    std::uint8_t recordedFlags(bool assigned) const {
        return std::uint8_t(scanner.rdstate() | (assigned ? CommandTape::assignedBit : 0));
    }

    ScriptScanner& scanner;
    CommandTape* tape;
    std::string token;                      // the last word read
    CommandHandler wordHandler = nullptr;   // ... its handler
    std::int64_t wordOffset = 0;            // ... where it starts
};

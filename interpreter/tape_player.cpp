// The tape player; see tape_player.h. Numbers and characters are handed back inline, in the
// header, and plain commands in a loop of their own: a replayed frame is mostly those.
#include "interpreter/tape_player.h"

TapePlayer::TapePlayer(const CommandTape& recorded)
    : tape(recorded),
      commands(recorded.commandList()),
      values(recorded.valueList()),
      plain(recorded.plainList()),
      forms(plainForms()) {}

std::size_t TapePlayer::givePlainRun() {
    const std::size_t given = plainRun;
    for (std::size_t left = plainRun; left > 0;) {
        std::span<const CommandTape::PlainCommand> piece = plain.piece(nextPlain, left);
        for (const CommandTape::PlainCommand& command : piece) forms[command.form].give(command.numbers);
        nextPlain += piece.size();
        left -= piece.size();
    }
    plainRun = 0;
    return given;
}

ScriptStream& TapePlayer::operator>>(std::string& word) {
    if (const CommandTape::Value* recorded = nextRecorded(CommandTape::Kind::word))
        if (recorded->flags & CommandTape::assignedBit) word = tape.word(recorded->word);
    return *this;
}

ScriptStream& TapePlayer::seekg(std::int64_t) {
    nextRecorded(CommandTape::Kind::seek);
    return *this;
}

// The tape player; see tape_player.h. Numbers and characters are handed back inline, in the
// header: a replayed frame is mostly that.
#include "interpreter/tape_player.h"

TapePlayer::TapePlayer(const CommandTape& recorded)
    : tape(recorded), commands(recorded.commands()), values(recorded.valueList()), forms(plainForms()) {}

ScriptStream& TapePlayer::operator>>(std::string& word) {
    if (const CommandTape::Value* recorded = nextRecorded(CommandTape::Kind::word))
        if (recorded->flags & CommandTape::assignedBit) word = tape.word(recorded->word);
    return *this;
}

ScriptStream& TapePlayer::seekg(std::int64_t) {
    nextRecorded(CommandTape::Kind::seek);
    return *this;
}

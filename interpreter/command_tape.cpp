// The command tape; see command_tape.h. Its size counts what its lists hold; once past the
// limit it lets go of everything, so a huge script costs no more memory than reading it does.
#include "interpreter/command_tape.h"

#include <algorithm>

#include "interpreter/command_table.h"

void CommandTape::clear() {
    recorded.clear();
    values.clear();
    commandOffset = 0;
    words.clear();
    bytes = 0;
    tooLarge = false;
    plainMarked = false;
}

namespace {
// Lists grow as vectors do, by doubling, but never past what the whole tape may hold, so the
// tape's memory stays within its limit while it is recorded too.
template <class T>
void makeRoom(std::vector<T>& list) {
    if (list.size() < list.capacity()) return;
    constexpr std::size_t most = CommandTape::largestSize / sizeof(T) + 1;
    list.reserve(std::min(most, std::max<std::size_t>(64, 2 * list.capacity())));
}
}  // namespace

bool CommandTape::room(std::size_t more) {
    if (tooLarge) return false;
    if (bytes + more <= largestSize) {
        bytes += more;
        return true;
    }
    letGo();
    return false;
}

void CommandTape::letGo() {
    clear();
    recorded.shrink_to_fit();
    values.shrink_to_fit();
    words.shrink_to_fit();
    tooLarge = true;
}

void CommandTape::addCommandGrowing(Handler handler, std::int64_t offset) {
    if (!room(sizeof(Command))) return;
    makeRoom(recorded);
    recorded.push_back({{handler}, offset, std::uint32_t(values.size())});
    commandOffset = offset;
}

// A value that finds no room, or stands more than 4 GiB past its command's word (a tape cannot
// say where), and a word's value.
void CommandTape::addValueGrowing(const Value& value, std::int64_t end) {
    const std::uint64_t fromCommand = std::uint64_t(end - commandOffset);
    if (fromCommand > UINT32_MAX && !tooLarge) letGo();
    if (!room(sizeof(Value))) return;
    makeRoom(values);
    values.push_back(value);
    values.back().end = std::uint32_t(fromCommand);
}

void CommandTape::addWord(const std::string& word, std::uint8_t flags, std::int64_t end) {
    if (!room(sizeof(std::string) + word.size())) return;
    Value value{};
    value.word = std::uint32_t(words.size());
    value.kind = Kind::word;
    value.flags = flags;
    makeRoom(words);
    words.push_back(word);
    addValueGrowing(value, end);
}

void CommandTape::markPlainCommands(PlainFormOf plainForm) {
    if (plainMarked) return;
    plainMarked = true;
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        Command& command = recorded[i];
        const PlainForm* form = plainForm(command.handler);
        std::size_t end = i + 1 < recorded.size() ? recorded[i + 1].firstValue : values.size();
        if (!form || end - command.firstValue != std::size_t(form->count)) continue;
        bool plain = true;
        for (std::size_t v = command.firstValue; v < end; ++v)
            plain = plain && values[v].kind == Kind::number && values[v].flags == assignedBit;
        if (!plain) continue;
        command.give = form->give;
        command.plainCount = std::uint8_t(form->count);
    }
}

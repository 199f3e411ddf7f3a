// The command tape; see command_tape.h. Its memory, what its lists have room for, stays within
// the limit; a tape that would pass it lets go of everything, so a huge script costs no more
// memory than reading it does.
#include "interpreter/command_tape.h"

#include <algorithm>

#include "interpreter/command_table.h"

void CommandTape::clear() {
    recorded.clear();
    values.clear();
    commandOffset = 0;
    words.clear();
    wordBytes = 0;
    tooLarge = false;
}

// Lists grow as vectors do, by doubling (from 64), but into no more than what the whole tape
// may still hold, so the tape's memory stays within its limit while it is recorded too.
template <class T>
bool CommandTape::grow(std::vector<T>& list) {
    if (tooLarge) return false;
    if (list.size() < list.capacity()) return true;
    const std::size_t spare = largestSize - std::min(largestSize, memory());
    const std::size_t more = std::min(std::max<std::size_t>(64, list.capacity()), spare / sizeof(T));
    if (more == 0) {
        letGo();
        return false;
    }
    list.reserve(list.capacity() + more);
    return true;
}

// Its lists are swapped for empty ones: a list without room takes every append to the slow path,
// which refuses it.
void CommandTape::letGo() {
    clear();
    std::vector<Command>().swap(recorded);
    std::vector<Value>().swap(values);
    std::vector<std::string>().swap(words);
    tooLarge = true;
}

void CommandTape::addCommandGrowing(CommandHandler handler, std::int64_t offset) {
    if (!grow(recorded)) return;
    recorded.push_back({handler, offset, std::uint32_t(values.size()), 0});
    commandOffset = offset;
}

// A value that finds no room, or stands more than 4 GiB past its command's word (a tape cannot
// say where), and a word's value.
void CommandTape::addValueGrowing(const Value& value, std::int64_t end) {
    const std::uint64_t fromCommand = std::uint64_t(end - commandOffset);
    if (fromCommand > UINT32_MAX && !tooLarge) letGo();
    if (!grow(values)) return;
    values.push_back(value);
    values.back().end = std::uint32_t(fromCommand);
}

void CommandTape::addWord(const std::string& word, std::uint8_t flags, std::int64_t end) {
    if (tooLarge) return;
    wordBytes += sizeof(std::string) + word.size();
    if (memory() > largestSize) {
        letGo();
        return;
    }
    Value value{};
    value.word = std::uint32_t(words.size());
    value.kind = Kind::word;
    value.flags = flags;
    words.push_back(word);
    addValueGrowing(value, end);
}

void CommandTape::lookUpPlainForm(CommandHandler handler) {
    formHandler = handler;
    form = plainFormIndex(handler);
    formCount = form < 0 ? 0 : std::size_t(plainForms()[form].count);
}

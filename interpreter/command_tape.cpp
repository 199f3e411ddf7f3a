// The command tape; see command_tape.h. Its size counts what its lists hold; once past the
// limit it lets go of everything, so a huge script costs no more memory than reading it does.
#include "interpreter/command_tape.h"

#include <algorithm>

void CommandTape::clear() {
    recorded.clear();
    values.clear();
    ends.clear();
    words.clear();
    bytes = 0;
    tooLarge = false;
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
    clear();
    recorded.shrink_to_fit();
    values.shrink_to_fit();
    ends.shrink_to_fit();
    words.shrink_to_fit();
    tooLarge = true;
    return false;
}

void CommandTape::addCommand(Handler handler, std::int64_t offset) {
    if (!room(sizeof(Command))) return;
    makeRoom(recorded);
    recorded.push_back({handler, offset, std::uint32_t(values.size())});
}

void CommandTape::addValueGrowing(const Value& value, std::int64_t end) {
    if (!room(valueSize)) return;
    makeRoom(values);
    makeRoom(ends);
    values.push_back(value);
    ends.push_back(end);
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

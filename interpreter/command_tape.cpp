// The command tape; see command_tape.h. Its limit counts the bytes it holds, whatever the order
// they came in; its lists grow by blocks, so its memory stays within a few blocks of that. A
// cleared tape keeps its blocks for the next recording, and a finished one gives back those it
// did not use. A tape that would pass the limit lets go of everything, so a huge script costs no
// more memory than reading it does.
#include "interpreter/command_tape.h"

void CommandTape::clear() {
    commands.clear();
    values.clear();
    plain.clear();
    words.clear();
    used = 0;
    last = {};
    lastWaiting = false;
    tooLarge = false;
}

void CommandTape::letGo() {
    clear();
    commands.release();
    values.release();
    plain.release();
    std::deque<std::string>().swap(words);
    tooLarge = true;
}

void CommandTape::addWord(const std::string& word, std::uint8_t flags, std::int64_t end) {
    if (!take(sizeof(std::string) + word.size())) return;
    const auto index = std::uint32_t(words.size());
    words.emplace_back() = word;
    addValue(Kind::word, index, flags, end);
}

bool CommandTape::finish() {
    settleLastCommand();
    if (used > largestSize) letGo();
    commands.releaseSpare();
    values.releaseSpare();
    plain.releaseSpare();
    return !tooLarge;
}

void CommandTape::lookUpPlainForm(CommandHandler handler) {
    formHandler = handler;
    form = plainFormIndex(handler);
    formCount = form < 0 ? 0 : std::size_t(plainForms()[form].count);
}

bool CommandTape::keptPlain() {
    if (values.size() - last.firstValue != formCount) return false;
    PlainCommand kept = {std::uint32_t(form), {0, 0, 0}};
    for (std::size_t i = 0; i < formCount; ++i) {
        const Value& value = values[last.firstValue + i];
        if (value.kind != Kind::number || value.flags != assignedBit) return false;
        kept.numbers[i] = value.number;
    }
    values.truncate(last.firstValue);
    plain.emplace_back() = kept;
    used = used + sizeof(PlainCommand) - sizeof(Command) - formCount * sizeof(Value);
    return true;
}

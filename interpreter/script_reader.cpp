// The script reader; see script_reader.h.
#include "interpreter/script_reader.h"

bool ScriptReader::next() {
    char line[2000];   // a comment's rest: a longer one ends the reading there
    while (scanner.good()) {
        token.clear();   // a failed extraction leaves the token as it was
        scanner >> token;
        if (token.empty()) continue;
        if (token[0] == '#') {
            scanner.getline(line, sizeof line);
            continue;
        }
        wordOffset = scanner.position() - std::int64_t(token.size());
        wordHandler = findCommand(token);
        if (tape && wordHandler) tape->addCommand(wordHandler, wordOffset);
        return true;
    }
    return false;
}

ScriptStream& ScriptReader::operator>>(std::string& word) {
    const bool assigned = scanner.read(word);
    if (tape) tape->addWord(assigned ? word : std::string(), recordedFlags(assigned), scanner.position());
    return *this;
}

ScriptStream& ScriptReader::seekg(std::int64_t position) {
    scanner.seekg(position);
    if (tape) tape->addValue(CommandTape::Kind::seek, 0u, recordedFlags(false), scanner.position());
    return *this;
}

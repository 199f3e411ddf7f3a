// The registry gathers the command families' rows in the order the table is built.
#include "interpreter/command_table.h"

namespace {
CommandTable table;   // filled once at start-up, read-only afterwards
}

void fillCommandTable() {
    if (!table.empty()) return;
    using Family = std::span<const CommandRow> (*)();
    for (Family family : {trackballCommands, groupingCommands, lightingCommands, shapeCommands,
                          primitiveCommands, renderStateCommands, displayListCommands,
                          nurbsCommands, vertexArrayCommands, projectionCommands})
        for (const CommandRow& row : family()) table.emplace(row.word, row.handler);
}

const CommandTable& commandTable() { return table; }

CommandHandler findCommand(std::string_view word) {
    auto it = table.find(word);
    return it == table.end() ? nullptr : it->second;
}

void setCommand(const std::string& word, CommandHandler handler) {
    if (handler)
        table[word] = handler;
    else
        table.erase(word);
}

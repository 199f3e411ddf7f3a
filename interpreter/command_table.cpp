// The registry: the command table, filled once from the families' rows.
#include "interpreter/command_table.h"

namespace {
CommandTable table;   // filled once at start-up, read-only afterwards
}

void fillCommandTable(std::initializer_list<std::span<const CommandRow>> families) {
    if (!table.empty()) return;
    for (std::span<const CommandRow> family : families)
        for (const CommandRow& row : family) table.emplace(row.word, row.handler);
}

const CommandTable& commandTable() { return table; }

CommandHandler findCommand(std::string_view word) {
    auto it = table.find(word);
    return it == table.end() ? nullptr : it->second;
}

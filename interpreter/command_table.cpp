// The registry: the command table, filled once from the families' rows.
#include "interpreter/command_table.h"

#include <utility>
#include <vector>

namespace {
CommandTable table;   // filled once at start-up, read-only afterwards
std::vector<std::pair<CommandHandler, PlainForm>> plainForms;   // the few handlers that have one
}

void fillCommandTable(std::initializer_list<std::span<const CommandRow>> families) {
    if (!table.empty()) return;
    for (std::span<const CommandRow> family : families) {
        for (const CommandRow& row : family) {
            table.emplace(row.word, row.handler);
            if (row.plain.give) plainForms.emplace_back(row.handler, row.plain);
        }
    }
}

const PlainForm* plainFormOf(CommandHandler handler) {
    for (const auto& [known, form] : plainForms)
        if (known == handler) return &form;
    return nullptr;
}

const CommandTable& commandTable() { return table; }

CommandHandler findCommand(std::string_view word) {
    auto it = table.find(word);
    return it == table.end() ? nullptr : it->second;
}

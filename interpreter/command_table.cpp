// The registry: the command table, filled once from the families' rows.
#include "interpreter/command_table.h"

#include <vector>

namespace {
CommandTable table;                         // filled once at start-up, read-only afterwards
std::vector<PlainForm> forms;               // the plain forms of the few handlers that have one
std::vector<CommandHandler> formHandlers;   // ... and those handlers
}

void fillCommandTable(std::initializer_list<std::span<const CommandRow>> families) {
    if (!table.empty()) return;
    for (std::span<const CommandRow> family : families) {
        for (const CommandRow& row : family) {
            table.emplace(row.word, row.handler);
            if (!row.plain.give) continue;
            forms.push_back(row.plain);
            formHandlers.push_back(row.handler);
        }
    }
}

std::span<const PlainForm> plainForms() { return forms; }

int plainFormIndex(CommandHandler handler) {
    for (std::size_t i = 0; i < formHandlers.size(); ++i)
        if (formHandlers[i] == handler) return int(i);
    return -1;
}

std::string commandWord(CommandHandler handler) {
    for (const auto& [word, known] : table)
        if (known == handler) return word;
    return "";
}

const CommandTable& commandTable() { return table; }

CommandHandler findCommand(std::string_view word) {
    auto it = table.find(word);
    return it == table.end() ? nullptr : it->second;
}

// The command registry: every script word and the handler that carries it out.
// A handler is called with the stream just after its word, reads exactly its own arguments,
// makes its GL calls and returns true; on an error of its own it logs one line and returns
// false. It never tests the stream: the runner does that after it returns.
#pragma once

#include <initializer_list>
#include <map>
#include <span>
#include <string>
#include <string_view>

#include "interpreter/script_stream.h"

using CommandHandler = bool (*)(ScriptStream&);

struct CommandRow {
    const char* word;
    CommandHandler handler;
};

using CommandTable = std::map<std::string, CommandHandler, std::less<>>;

// Fills the table once from the command families, in the order given; later calls change
// nothing.
void fillCommandTable(std::initializer_list<std::span<const CommandRow>> families);
const CommandTable& commandTable();
// The handler of a word (exact, case-sensitive), or null.
CommandHandler findCommand(std::string_view word);

// The interpreter's own families, defined at the bottom of grouping.cpp and display_lists.cpp.
std::span<const CommandRow> groupingCommands();
std::span<const CommandRow> displayListCommands();

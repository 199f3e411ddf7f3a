// The command registry: every script word and the handler that carries it out.
// A handler is called with the stream just after its word, reads exactly its own arguments,
// makes its GL calls and returns true; on an error of its own it logs one line and returns
// false. It never tests the stream: the runner does that after it returns.
#pragma once

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

// Fills the table once, in registration order; later calls change nothing.
void fillCommandTable();
const CommandTable& commandTable();
// The handler of a word (exact, case-sensitive), or null.
CommandHandler findCommand(std::string_view word);
// For tests that act in the middle of a run: adds a word, or removes it with a null handler.
void setCommand(const std::string& word, CommandHandler handler);

// Each command family contributes its rows, defined at the bottom of its own file.
std::span<const CommandRow> trackballCommands();
std::span<const CommandRow> groupingCommands();
std::span<const CommandRow> lightingCommands();
std::span<const CommandRow> shapeCommands();
std::span<const CommandRow> primitiveCommands();
std::span<const CommandRow> renderStateCommands();
std::span<const CommandRow> displayListCommands();
std::span<const CommandRow> nurbsCommands();
std::span<const CommandRow> vertexArrayCommands();
std::span<const CommandRow> projectionCommands();

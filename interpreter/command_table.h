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

// What a handler does with its values when they are all plain numbers read cleanly: hands them
// to give, count of them (at most 3; the rest of give's three are 0). A replay that knows the
// values were plain does just that.
struct PlainForm {
    void (*give)(const float*);
    int count;
};

struct CommandRow {
    const char* word;
    CommandHandler handler;
    PlainForm plain = {};   // a word whose handler has one
};

using CommandTable = std::map<std::string, CommandHandler, std::less<>>;

// Fills the table once from the command families, in the order given; later calls change
// nothing.
void fillCommandTable(std::initializer_list<std::span<const CommandRow>> families);
const CommandTable& commandTable();
// The handler of a word (exact, case-sensitive), or null.
CommandHandler findCommand(std::string_view word);
// The plain forms of the handlers that have one, in the order registered, and the index there of
// a handler's own (-1 when it has none).
std::span<const PlainForm> plainForms();
int plainFormIndex(CommandHandler handler);
// The word of a handler, for messages about a command known only by its handler.
std::string commandWord(CommandHandler handler);

// The interpreter's own families, defined at the bottom of grouping.cpp and display_lists.cpp.
std::span<const CommandRow> groupingCommands();
std::span<const CommandRow> displayListCommands();

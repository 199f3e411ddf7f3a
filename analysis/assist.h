// What an editor shows at a place in a script: the word there and the word before it (which
// says whether it is a command, a keyword argument or a list name), its hover text and the
// completions that fit there. All of it comes from the language's help table and the outline.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/outline.h"

struct WordContext {
    std::int64_t begin = 0;   // the word at the place; begin == end where none is
    std::int64_t end = 0;
    std::string word;
    std::string previous;     // the word before it, past line ends and comments; empty at the start
    bool inComment = false;
};

// The word that holds the offset, or ends at it.
WordContext wordAt(std::string_view text, std::int64_t offset);

// Whether the place is about a display list (the word after BeginList or CallList): only then
// do hover and completion read the outline.
bool aboutList(const WordContext& at);
// The list name at the place, empty when there is none.
std::string listNameAt(const WordContext& at);

// Markdown about the word: a command's arguments and effect, a keyword's meaning, a list's
// definition and calls. Empty when there is nothing to say.
std::string hoverText(std::string_view text, const WordContext& at, const ScriptOutline& outline);

enum class CompletionKind { command, keyword, list };

struct Completion {
    std::string label;
    CompletionKind kind;
    std::string detail;          // plain text: a command's arguments, a keyword's meaning
    std::string documentation;   // Markdown
};

// What may stand at the offset and begins with the text typed before it there: command words,
// or after Begin, Enable, Disable and TextureMode their keywords, or after CallList the
// script's list names.
std::vector<Completion> completionsAt(const WordContext& at, std::int64_t offset,
                                      const ScriptOutline& outline);
// Every place the list's name stands: the BeginLists that make it (when asked) and the CallLists.
std::vector<PlacedWord> listMentions(const ScriptOutline& outline, std::string_view name,
                                     bool withDefinitions);

// The script language's help: what each command word reads and does, and what each keyword
// argument means. It is the one text of it in the code: editors show it on hover and with
// completions, and the reference's command tables are tested against it word for word.
#pragma once

#include <span>
#include <string_view>

// Arguments and effect are written as the reference writes them, with *emphasis* and `code`.
struct CommandHelp {
    std::string_view word;
    std::string_view arguments;
    std::string_view effect;
};

struct KeywordHelp {
    std::string_view word;
    std::string_view meaning;
};

// Every command, family by family.
std::span<const CommandHelp> commandHelp();
// The help of one command word (exact, case-sensitive), or null.
const CommandHelp* findCommandHelp(std::string_view word);
// The keywords a command takes as its argument: Begin's primitive kinds, the states of Enable
// and Disable, TextureMode's modes. Empty for every other command.
std::span<const KeywordHelp> keywordsOf(std::string_view command);

// Hover, completion and list navigation; see assist.h. Only the lines around the place are read:
// the word there, and back to the word before it (a command's word argument may stand on a
// later line than the command, with comments between).
#include "analysis/assist.h"

#include <algorithm>
#include <set>

#include "commands/command_help.h"
#include "interpreter/script_scanner.h"

namespace {
// How far back the word before may be looked for.
constexpr std::size_t lookBehind = 64 * 1024;

struct Span {
    std::size_t begin, end;
};

// The words of the line from begin to end; a word starting with '#' and the rest of the line
// are a comment, whose start is given.
std::vector<Span> wordsOfLine(std::string_view text, std::size_t begin, std::size_t end,
                              std::size_t& commentStart) {
    std::vector<Span> words;
    commentStart = std::string_view::npos;
    for (std::size_t i = begin; i < end;) {
        if (isScriptSpace(text[i])) {
            ++i;
            continue;
        }
        if (text[i] == '#') {
            commentStart = i;
            break;
        }
        std::size_t start = i;
        while (i < end && !isScriptSpace(text[i])) ++i;
        words.push_back({start, i});
    }
    return words;
}

std::size_t lineStartOf(std::string_view text, std::size_t offset) {
    std::size_t newline = offset == 0 ? std::string_view::npos : text.rfind('\n', offset - 1);
    return newline == std::string_view::npos ? 0 : newline + 1;
}

// The last word that ends at or before offset, past comments and earlier lines.
std::string wordBefore(std::string_view text, std::size_t offset) {
    std::size_t limit = offset > lookBehind ? offset - lookBehind : 0;
    for (std::size_t end = offset;;) {
        std::size_t start = lineStartOf(text, end), commentStart;
        std::vector<Span> words = wordsOfLine(text, start, end, commentStart);
        if (!words.empty()) return std::string(text.substr(words.back().begin, words.back().end - words.back().begin));
        if (start == 0 || start <= limit) return "";
        end = start - 1;
    }
}

std::string commandHover(const CommandHelp& help) {
    std::string text = "**`" + std::string(help.word) + "`** " + std::string(help.arguments) + "\n\n" +
                       std::string(help.effect);
    std::string separator = "\n\n";
    for (const KeywordHelp& keyword : keywordsOf(help.word)) {
        text += separator + "- `" + std::string(keyword.word) + "`: " + std::string(keyword.meaning);
        separator = "\n";
    }
    return text;
}

std::string keywordHover(const std::string& command, const std::string& word) {
    std::string choices;
    for (const KeywordHelp& keyword : keywordsOf(command)) {
        if (keyword.word == word)
            return "**`" + command + " " + word + "`**\n\n" + std::string(keyword.meaning);
        choices += (choices.empty() ? "`" : ", `") + std::string(keyword.word) + "`";
    }
    return "`" + command + "` does not take `" + word + "`; it takes one of " + choices;
}

std::string listHover(std::string_view text, const std::string& name, const ScriptOutline& outline) {
    auto calls = std::count_if(outline.calls.begin(), outline.calls.end(),
                               [&](const PlacedWord& call) { return call.text == name; });
    std::string about = "**display list `" + name + "`**\n\n";
    const ListBlock* list = findList(outline, name);
    if (!list) return about + "no `BeginList` in the script makes it";
    return about + "made by the `BeginList` on line " + std::to_string(lineOfOffset(text, list->begin)) +
           ", called " + (calls == 1 ? "once" : std::to_string(calls) + " times");
}

bool startsWith(std::string_view word, std::string_view prefix) {
    return word.substr(0, prefix.size()) == prefix;
}

// The help's Markdown without its marks, for a plain-text detail line.
std::string plain(std::string_view markdown) {
    std::string text;
    for (char c : markdown)
        if (c != '*' && c != '`') text += c;
    return text;
}
}  // namespace

WordContext wordAt(std::string_view text, std::int64_t offset) {
    const std::size_t at = std::size_t(std::clamp<std::int64_t>(offset, 0, std::int64_t(text.size())));
    std::size_t lineStart = lineStartOf(text, at);
    std::size_t lineEnd = std::min(text.find('\n', at), text.size());
    std::size_t commentStart;
    std::vector<Span> words = wordsOfLine(text, lineStart, lineEnd, commentStart);
    WordContext context;
    context.begin = context.end = std::int64_t(at);
    context.inComment = commentStart != std::string_view::npos && at >= commentStart;
    std::size_t before = at;
    for (const Span& word : words) {
        if (word.begin <= at && at <= word.end) {
            context.begin = std::int64_t(word.begin);
            context.end = std::int64_t(word.end);
            context.word = std::string(text.substr(word.begin, word.end - word.begin));
            before = word.begin;
            break;
        }
    }
    context.previous = wordBefore(text, before);
    return context;
}

std::string hoverText(std::string_view text, const WordContext& at, const ScriptOutline& outline) {
    if (at.inComment || at.word.empty()) return "";
    if (!keywordsOf(at.previous).empty()) return keywordHover(at.previous, at.word);
    if (aboutList(at)) return listHover(text, at.word, outline);
    if (at.previous == "TextureImage") return "";
    const CommandHelp* help = findCommandHelp(at.word);
    return help ? commandHover(*help) : "";
}

std::vector<Completion> completionsAt(const WordContext& at, std::int64_t offset,
                                      const ScriptOutline& outline) {
    std::vector<Completion> found;
    if (at.inComment || at.previous == "BeginList" || at.previous == "TextureImage") return found;
    std::string prefix = at.word.substr(0, std::size_t(std::max<std::int64_t>(offset - at.begin, 0)));
    if (std::span keywords = keywordsOf(at.previous); !keywords.empty()) {
        for (const KeywordHelp& keyword : keywords)
            if (startsWith(keyword.word, prefix))
                found.push_back({std::string(keyword.word), CompletionKind::keyword, plain(keyword.meaning),
                                 std::string(keyword.meaning)});
    } else if (at.previous == "CallList") {
        std::set<std::string> names;
        for (const ListBlock& list : outline.lists)
            if (startsWith(list.name.text, prefix) && names.insert(list.name.text).second)
                found.push_back({list.name.text, CompletionKind::list, "display list", ""});
    } else {
        for (const CommandHelp& help : commandHelp())
            if (startsWith(help.word, prefix))
                found.push_back({std::string(help.word), CompletionKind::command, plain(help.arguments),
                                 std::string(help.effect)});
    }
    return found;
}

bool aboutList(const WordContext& at) {
    return !at.inComment && (at.previous == "BeginList" || at.previous == "CallList");
}

std::string listNameAt(const WordContext& at) { return aboutList(at) ? at.word : ""; }

std::vector<PlacedWord> listMentions(const ScriptOutline& outline, std::string_view name,
                                     bool withDefinitions) {
    std::vector<PlacedWord> mentions;
    if (withDefinitions)
        for (const ListBlock& list : outline.lists)
            if (list.name.text == name) mentions.push_back(list.name);
    for (const PlacedWord& call : outline.calls)
        if (call.text == name) mentions.push_back(call);
    std::sort(mentions.begin(), mentions.end(),
              [](const PlacedWord& a, const PlacedWord& b) { return a.offset < b.offset; });
    return mentions;
}

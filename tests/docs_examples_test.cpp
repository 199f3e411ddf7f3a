// The language reference's examples run as they are written: every ```corvane block of
// docs/scripting.md runs cleanly from a fresh session, and between them the blocks use every
// command word the table knows, so a command cannot be added, renamed or changed without the
// reference following. Each row of its message table gives an example script, which must log
// that very message. Its command tables say, word for word, what the language's help table
// says, which editors show on hover, and that table knows every command and keyword there is.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "commands/command_help.h"
#include "interpreter/command_table.h"
#include "interpreter/message_log.h"
#include "tests/gl_test.h"
#include "frame/session.h"

namespace {
struct Example {
    int line;   // where its fence stands in the reference
    std::string text;
};

std::vector<Example> referenceExamples() {
    std::ifstream in(CORVANE_SOURCE_DIR "/docs/scripting.md");
    std::vector<Example> examples;
    std::string line;
    bool inside = false;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!inside && line == "```corvane") {
            examples.push_back({number, ""});
            inside = true;
        } else if (inside && line == "```") {
            inside = false;
        } else if (inside) {
            examples.back().text += line + "\n";
        }
    }
    EXPECT_FALSE(inside) << "the last example's block is not closed";
    return examples;
}

// The words of a script as the runner sees them: comments run from a word's '#' to the line end.
std::set<std::string> wordsOf(const std::string& text) {
    std::set<std::string> words;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::string word;
        while (in >> word && word[0] != '#') words.insert(word);
    }
    return words;
}

std::string trimmed(std::string text) {
    auto first = text.find_first_not_of(' ');
    auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// The text of a table cell written as inline code: `text`, or `` text `` when it holds a `.
std::string codeIn(const std::string& cell) {
    std::string text = trimmed(cell);
    std::size_t fence = text.rfind("``", 0) == 0 ? 2 : 1;
    if (text.size() < 2 * fence || text[0] != '`') return "";
    return trimmed(text.substr(fence, text.size() - 2 * fence));
}

// A message as the table writes it, with capitals for what varies, as a pattern for a log line.
std::regex messagePattern(const std::string& message) {
    std::string escaped = std::regex_replace(message, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
    return std::regex(std::regex_replace(escaped, std::regex(R"(\b[A-Z]+\b)"), ".+"));
}

struct MessageRow {
    std::string message, example;
};

// The rows of the table under "## Messages": | `message` | cause | fix | `example` |
std::vector<MessageRow> messageRows() {
    std::ifstream in(CORVANE_SOURCE_DIR "/docs/scripting.md");
    std::vector<MessageRow> rows;
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0) inSection = line == "## Messages";
        if (!inSection || line.rfind("| `", 0) != 0) continue;
        std::vector<std::string> cells;
        std::istringstream split(line.substr(1));
        for (std::string cell; std::getline(split, cell, '|');) cells.push_back(cell);
        if (cells.size() >= 4) rows.push_back({codeIn(cells[0]), codeIn(cells[3])});
    }
    return rows;
}

// The rows of the tables under "## Commands": | `word` | arguments | effect |
std::vector<std::vector<std::string>> commandRows() {
    std::ifstream in(CORVANE_SOURCE_DIR "/docs/scripting.md");
    std::vector<std::vector<std::string>> rows;
    bool inSection = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("## ", 0) == 0) inSection = line == "## Commands";
        if (!inSection || line.rfind("| `", 0) != 0) continue;
        std::vector<std::string> cells;
        std::istringstream split(line.substr(1));
        for (std::string cell; std::getline(split, cell, '|');) cells.push_back(trimmed(cell));
        rows.push_back(cells);
    }
    return rows;
}

class DocsExamplesTest : public GlTest {};

TEST_F(DocsExamplesTest, TheCommandTablesSayWhatTheHelpTableSays) {
    std::map<std::string, int> described;
    for (const std::vector<std::string>& row : commandRows()) {
        ASSERT_EQ(row.size(), 3u) << "a command row without its arguments and effect: " << row[0];
        std::string word = codeIn(row[0]);
        ++described[word];
        const CommandHelp* help = findCommandHelp(word);
        ASSERT_NE(help, nullptr) << word << " is in the reference but not in the help table";
        EXPECT_EQ(row[1], help->arguments) << word;
        EXPECT_EQ(row[2], help->effect) << word;
    }
    std::set<std::string> helped;
    for (const CommandHelp& help : commandHelp()) {
        helped.insert(std::string(help.word));
        EXPECT_EQ(described[std::string(help.word)], 1) << help.word << " is not described once";
    }
    std::set<std::string> commands;
    for (const auto& [word, handler] : commandTable()) commands.insert(word);
    EXPECT_EQ(helped, commands);

    // Every keyword the help offers is one its command takes.
    for (const char* command : {"Begin", "Enable", "Disable", "TextureMode"}) {
        ASSERT_FALSE(keywordsOf(command).empty()) << command;
        for (const KeywordHelp& keyword : keywordsOf(command)) {
            std::string script = std::string(command) + " " + std::string(keyword.word) + "\n";
            if (std::string_view(command) == "Begin") script += "End\n";
            EXPECT_TRUE(run(script)) << script << logOf();
        }
    }
}

TEST_F(DocsExamplesTest, EveryExampleRunsCleanlyAndTheyUseEveryCommand) {
    std::vector<Example> examples = referenceExamples();
    ASSERT_GE(examples.size(), 15u) << "the reference's examples were not found";
    // Image names in the examples are those of the bundled pictures in examples/.
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(CORVANE_SOURCE_DIR "/examples"), 0);

    std::set<std::string> used;
    for (std::size_t i = 0; i < examples.size(); ++i) {
        const Example& example = examples[i];
        SCOPED_TRACE("docs/scripting.md:" + std::to_string(example.line));
        resetSession();
        writeScript(example.text, "example" + std::to_string(i) + ".txt");
        // Two frames: the second replays what the first recorded into display lists.
        EXPECT_TRUE(frame());
        EXPECT_TRUE(frame());
        EXPECT_EQ(logOf(), "");
        used.merge(wordsOf(example.text));
    }
    EXPECT_EQ(chdir(previous), 0);
    free(previous);

    for (const auto& [word, handler] : commandTable())
        EXPECT_TRUE(used.count(std::string(word))) << word << " has no example in the reference";
}
TEST_F(DocsExamplesTest, EveryMessageExampleLogsItsMessage) {
    std::vector<MessageRow> rows = messageRows();
    ASSERT_GE(rows.size(), 20u) << "the message table was not found";
    int tried = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const MessageRow& row = rows[i];
        SCOPED_TRACE(row.message);
        ASSERT_FALSE(row.message.empty());
        if (row.example.empty()) continue;   // messages no script can cause (no file at all)
        resetSession();
        writeScript(row.example + "\n", "message" + std::to_string(i) + ".txt");
        EXPECT_FALSE(frame());
        std::regex pattern = messagePattern(row.message);
        bool found = false;
        for (const LogMessage& message : logMessages())
            found |= std::regex_match(std::string(messageText(message)), pattern);
        EXPECT_TRUE(found) << "the example logs:\n" << logOf();
        ++tried;
    }
    EXPECT_GE(tried, 18);
}
}  // namespace

// The editor support in editors/ held against the interpreter and corvane-render: the vim syntax
// and the VS Code grammar colour exactly the words the script reader knows, both editors
// recognise a script, and both read `corvane-render --check` diagnostics at the place they point
// to. The words are parsed out of the grammars (vim's keyword lines, the patterns' alternations
// with the scope they get), so a word counts only where the grammar really gives it its colour.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "commands/command_help.h"
#include "commands/registry.h"
#include "interpreter/command_table.h"
#include "tests/scratch.h"

namespace {
const std::string editors = CORVANE_SOURCE_DIR "/editors";

// A JSON file as path -> value for each string and literal in it, the path being the keys and
// array indices on the way, joined by dots: "contributes.languages.0.id" -> "corvane".
class FlatJson {
public:
    explicit FlatJson(const std::string& path) : text(slurp(path)) {
        read("");
        EXPECT_TRUE(blanks() == text.size() && !text.empty()) << path << " is not JSON near byte " << at;
    }
    std::string operator[](const std::string& key) const {
        return values.count(key) ? values.at(key) : "";
    }
    std::map<std::string, std::string> values;

private:
    void read(const std::string& path) {
        blanks();
        char open = at < text.size() ? text[at] : '\0';
        if (open == '{' || open == '[') {
            ++at;
            for (int n = 0; blanks() < text.size() && text[at] != (open == '{' ? '}' : ']'); ++n) {
                if (n > 0 && !take(',')) return;
                std::string key = std::to_string(n);
                if (open == '{') {
                    blanks();
                    key = string();
                    blanks();
                    if (!take(':')) return;
                }
                read(path.empty() ? key : path + "." + key);
            }
            take(open == '{' ? '}' : ']');
        } else if (open == '"') {
            values[path] = string();
        } else {
            std::size_t end = text.find_first_of(",]} \t\r\n", at);
            values[path] = text.substr(at, end - at);
            at = end;
        }
    }
    std::string string() {
        std::string value;
        for (take('"'); at < text.size() && text[at] != '"'; ++at) {
            if (text[at] == '\\' && ++at < text.size())
                value += text[at] == 'n' ? '\n' : text[at] == 't' ? '\t' : text[at];
            else
                value += text[at];
        }
        take('"');
        return value;
    }
    std::size_t blanks() {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
        return at;
    }
    bool take(char c) { return at < text.size() && text[at] == c ? (++at, true) : false; }
    std::string text;
    std::size_t at = 0;
};

// The words a grammar colours, by what they are: "command", "state", "primitive", "mode".
using WordsByKind = std::map<std::string, std::set<std::string>>;

std::string kindOf(const std::string& name, const std::vector<std::pair<std::string, std::string>>& kinds) {
    for (const auto& [prefix, kind] : kinds)
        if (name.rfind(prefix, 0) == 0) return kind;
    return "other";
}

// vim: the words of every `syn keyword` line; the group says what they are.
WordsByKind vimWords(const std::string& path) {
    const std::regex keywordLine(R"(^\s*syn(tax)?\s+keyword\s+(\S+)\s+(.*)$)");
    const std::set<std::string> options = {"contained", "transparent", "skipwhite", "skipnl", "skipempty"};
    WordsByKind words;
    std::istringstream lines(slurp(path));
    std::smatch m;
    for (std::string line; std::getline(lines, line);) {
        if (!std::regex_match(line, m, keywordLine)) continue;
        std::string kind = kindOf(m[2], {{"corvaneCommand", "command"}, {"corvaneState", "state"},
                                         {"corvanePrimitive", "primitive"}, {"corvaneMode", "mode"}});
        std::istringstream rest(m[3].str());
        for (std::string word; rest >> word;)
            if (!options.count(word) && word.find('=') == std::string::npos) words[kind].insert(word);
    }
    return words;
}

// The literal words of a regex's group: number n counts the capturing groups, and 0 takes
// every group. A group counts when each of its alternatives is a word ("Box|Sphere", "\{").
std::set<std::string> groupWords(const std::string& pattern, int n) {
    static const std::regex literal(R"((?:[A-Za-z]|\\[{}])+)");
    std::set<std::string> words;
    std::vector<std::pair<int, std::size_t>> open;   // capture number (0: none) and body start
    for (std::size_t i = 0, captures = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\\') {
            ++i;
        } else if (pattern[i] == '[') {
            while (++i < pattern.size() && pattern[i] != ']') i += pattern[i] == '\\';
        } else if (pattern[i] == '(') {
            bool capturing = pattern.compare(i, 2, "(?") != 0;
            open.emplace_back(capturing ? int(++captures) : 0, i + (capturing ? 1 : 3));
        } else if (pattern[i] == ')' && !open.empty()) {
            std::string body = pattern.substr(open.back().second, i - open.back().second);
            std::vector<std::string> alternatives;
            std::istringstream in(body);
            for (std::string word; std::getline(in, word, '|');) alternatives.push_back(word);
            bool wanted = n == 0 || open.back().first == n;
            if (wanted && std::all_of(alternatives.begin(), alternatives.end(),
                                      [](auto& w) { return std::regex_match(w, literal); }))
                for (const std::string& word : alternatives)
                    words.insert(std::regex_replace(word, std::regex(R"(\\)"), ""));
            open.pop_back();
        }
    }
    return words;
}

// TextMate: a rule's scope over its match's words, and each named capture over its group's.
WordsByKind textMateWords(const std::string& path) {
    FlatJson grammar(path);
    const std::regex named(R"((.*)\.(captures|beginCaptures|endCaptures)\.(\d+)\.name$|(.*)\.name$)");
    const std::map<std::string, std::string> regexOf = {
        {"captures", "match"}, {"beginCaptures", "begin"}, {"endCaptures", "end"}};
    WordsByKind words;
    std::smatch m;
    for (const auto& [key, scope] : grammar.values) {
        if (!std::regex_match(key, m, named)) continue;
        std::set<std::string> found = m[1].matched
            ? groupWords(grammar[m[1].str() + "." + regexOf.at(m[2])], std::stoi(m[3]))
            : groupWords(grammar[m[4].str() + ".match"], 0);
        words[kindOf(scope, {{"keyword.other.command.", "command"},
                             {"punctuation.section.group.", "command"},
                             {"constant.language.state.", "state"},
                             {"constant.language.primitive.", "primitive"},
                             {"constant.language.texture-mode.", "mode"}})]
            .insert(found.begin(), found.end());
    }
    return words;
}

class EditorGrammarTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory = makeScratchDirectory("corvane editors-");   // a blank, for the quoting of names
    }
    void TearDown() override { std::filesystem::remove_all(directory); }
    std::string write(const std::string& name, const std::string& text) {
        return writeFile(directory + "/" + name, text);
    }
    static bool haveVim() { return std::system("command -v vim >/dev/null 2>&1") == 0; }
    // Opens the file in vim in batch mode, with the repository's vim files first on its path and
    // file types and syntax on, runs the Ex command and returns the lines of the list expression.
    std::string vim(const std::string& file, const std::string& exCommand, const std::string& list,
                    const std::string& environment = "") {
        std::string out = directory + "/vim out";
        std::filesystem::remove(out);
        std::string command = environment + " vim -es -N -u NONE -i NONE --cmd 'set rtp^=" + editors +
                              "/vim' --cmd 'filetype plugin on' --cmd 'syntax on' -c '" + exCommand +
                              "' -c 'call writefile(" + list + ", \"" + out + "\")' -c 'qa!' -- '" +
                              file + "' </dev/null >/dev/null 2>&1";
        std::system(command.c_str());
        return slurp(out);
    }
    std::string directory;
};

TEST_F(EditorGrammarTest, BothGrammarsColourExactlyTheScriptWords) {
    registerCommands();
    std::set<std::string> commands;
    for (const auto& row : commandTable()) commands.insert(row.first);
    ASSERT_FALSE(commands.empty());
    auto keywords = [](const char* command) {
        std::set<std::string> words;
        for (const KeywordHelp& keyword : keywordsOf(command)) words.insert(std::string(keyword.word));
        return words;
    };
    const WordsByKind expected = {{"command", commands},
                                  {"state", keywords("Enable")},
                                  {"primitive", keywords("Begin")},
                                  {"mode", keywords("TextureMode")}};

    for (const auto& [file, words] :
         {std::pair{"vim/syntax/corvane.vim", vimWords(editors + "/vim/syntax/corvane.vim")},
          {"vscode/syntaxes/corvane.tmLanguage.json",
           textMateWords(editors + "/vscode/syntaxes/corvane.tmLanguage.json")}}) {
        for (const auto& [kind, wanted] : expected) {
            std::set<std::string> found = words.count(kind) ? words.at(kind) : std::set<std::string>{};
            std::string missing, extra;
            for (const std::string& word : wanted)
                if (!found.count(word)) missing += " " + word;
            for (const std::string& word : found)
                if (!wanted.count(word)) extra += " " + word;
            EXPECT_EQ(missing, "") << file << " lacks these " << kind << " words";
            EXPECT_EQ(extra, "") << file << " colours these as " << kind << " words";
        }
    }
}

TEST_F(EditorGrammarTest, EditorsRecogniseScripts) {
    // VS Code: the manifest names the files it loads, and its first-line marker is vim's.
    FlatJson manifest(editors + "/vscode/package.json");
    EXPECT_EQ(manifest["contributes.languages.0.id"], "corvane");
    EXPECT_EQ(manifest["contributes.languages.0.extensions.0"], ".corvane");
    EXPECT_EQ(manifest["contributes.grammars.0.language"], "corvane");
    EXPECT_TRUE(std::filesystem::exists(editors + "/vscode/" + manifest["main"])) << "the client's code";
    FlatJson configuration(editors + "/vscode/" + manifest["contributes.languages.0.configuration"]);
    EXPECT_EQ(configuration["comments.lineComment"], "#");
    FlatJson grammar(editors + "/vscode/" + manifest["contributes.grammars.0.path"]);
    EXPECT_EQ(grammar["scopeName"], manifest["contributes.grammars.0.scopeName"]);
    const std::regex marker(manifest["contributes.languages.0.firstLine"]);
    for (const char* line : {"# corvane", "#corvane: an orrery", "# corvane a lit box"})
        EXPECT_TRUE(std::regex_search(line, marker)) << line;
    for (const char* line : {"# a lit box", "# corvane-render wrapper", "Box # corvane"})
        EXPECT_FALSE(std::regex_search(line, marker)) << line;

    // vim: the extension, the marker over the plain text of .txt, plain text without it; the
    // syntax loads without an error.
    if (!haveVim()) GTEST_SKIP() << "vim is not installed: the vim file types are not checked";
    std::string types;
    for (const auto& [name, text] : {std::pair{"scene.corvane", "Box\n"},
                                     {"scene.txt", "# corvane: a box\nBox\n"},
                                     {"notes.txt", "# a box\nBox\n"}})
        types += vim(write(name, text), "",
                     "[&filetype, &filetype !=# \"corvane\" || b:current_syntax ==# \"corvane\", v:errmsg]") +
                 "|";
    EXPECT_EQ(types, "corvane\n1\n\n|corvane\n1\n\n|text\n1\n\n|");
}

TEST_F(EditorGrammarTest, EditorsReadTheDiagnosticsOfCheck) {
    if (!std::filesystem::exists(CORVANE_RENDER)) GTEST_SKIP() << "corvane-render is not built";
    std::string script = write("broken scene.txt", "Box\n\tFoo\nEnable Fog\n{\n");
    std::string errors = directory + "/errors";
    std::string command = std::string(CORVANE_RENDER) + " --check '" + script + "' 2>'" + errors + "'";
    ASSERT_EQ(WEXITSTATUS(std::system(command.c_str())), 1) << slurp(errors);
    const std::vector<std::vector<std::string>> wanted = {
        {script, "2", "2", "Unknown command \"Foo\""},
        {script, "3", "1", "Invalid state \"Fog\" followed Enable"},
        {script, "5", "1", "1 unmatched `{'(s)"}};

    // VS Code's problem matcher, with the groups it names.
    FlatJson manifest(editors + "/vscode/package.json");
    const std::string pattern = "contributes.problemMatchers.0.pattern.";
    const std::regex regexp(manifest[pattern + "regexp"]);
    std::vector<std::vector<std::string>> read;
    std::istringstream lines(slurp(errors));
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, regexp)) << line;
        read.push_back({});
        for (const char* part : {"file", "line", "column", "message"})
            read.back().push_back(m[std::stoi(manifest[pattern + part])]);
    }
    EXPECT_EQ(read, wanted);

    // vim: :make with the compiler plug-in runs the tool on the current file, blank in its name
    // and all, and fills the quickfix list.
    if (!haveVim()) GTEST_SKIP() << "vim is not installed: the vim compiler is not checked";
    std::string list = vim(script, "compiler corvane | silent make!",
                           "map(filter(getqflist(), \"v:val.valid\"), \"string([bufname(v:val.bufnr), "
                           "v:val.lnum, v:val.col, v:val.text])\")",
                           "PATH='" + std::filesystem::path(CORVANE_RENDER).parent_path().string() +
                               "':\"$PATH\"");
    std::string expected;
    for (const auto& entry : wanted)
        expected += "['" + entry[0] + "', " + entry[1] + ", " + entry[2] + ", '" +
                    std::regex_replace(entry[3], std::regex("'"), "''") + "']\n";
    EXPECT_EQ(list, expected);
}
}  // namespace

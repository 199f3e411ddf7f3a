// --help's layout and the manual page's OPTIONS section, both from the option declarations.
// CLI11 prints descriptions as they are written, so they are declared as plain sentences and
// wrapped here.
#include "tools/option_text.h"

#include <cctype>
#include <memory>
#include <sstream>

namespace {
constexpr std::size_t lineWidth = 80;
constexpr std::size_t nameColumn = 24;   // where --help's descriptions start

// Each paragraph's words filled into lines of at most width columns (a longer word has a line
// of its own).
std::string wrapped(const std::string& text, std::size_t width) {
    std::string result, paragraph;
    std::istringstream paragraphs(text);
    while (std::getline(paragraphs, paragraph)) {
        std::istringstream words(paragraph);
        std::size_t column = 0;
        for (std::string word; words >> word; column += word.size()) {
            if (column > 0 && column + 1 + word.size() > width) {
                result += '\n';
                column = 0;
            } else if (column > 0) {
                result += ' ';
                ++column;
            }
            result += word;
        }
        result += '\n';
    }
    if (!result.empty()) result.pop_back();
    return result;
}

std::string description(const CLI::Option& option) {
    const std::string& start = option.get_default_str();
    return option.get_description() + (start.empty() ? "" : " (default " + start + ")");
}

std::string valueName(const CLI::Option& option) {
    return option.get_positional() || option.get_expected_max() == 0 ? "" : option.get_type_name();
}

class HelpLayout : public CLI::Formatter {
public:
    HelpLayout() {
        column_width(nameColumn);
        label("Positionals", "Script");
        label("Usage", "usage");
    }
    std::string make_option_opts(const CLI::Option* option) const override {
        std::string name = valueName(*option);
        return name.empty() ? "" : " " + name;
    }
    std::string make_option_desc(const CLI::Option* option) const override {
        return wrapped(description(*option), lineWidth - nameColumn);
    }
    std::string make_description(const CLI::App* app) const override {
        return wrapped(app->get_description(), lineWidth) + "\n";
    }
    // CLI11 sets each group off by two blank lines; one is enough.
    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override {
        std::string text = Formatter::make_help(app, std::move(name), mode);
        for (auto at = text.find("\n\n\n"); at != std::string::npos; at = text.find("\n\n\n", at))
            text.erase(at, 1);
        return text;
    }
    std::string make_footer(const CLI::App* app) const override {
        return wrapped(app->get_footer(), lineWidth) + "\n";
    }
};

// Text as roff prints it: backslashes kept, no line taken for a request, and the dashes of
// names and of words that start with one (an option, a negative number) minus signs that can
// be copied; a dash inside a word of prose stays a hyphen.
std::string roff(const std::string& text, bool name = false) {
    std::string out = text.empty() || (text[0] != '.' && text[0] != '\'') ? "" : "\\&";
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool minus = name || i == 0 || !std::isalnum(static_cast<unsigned char>(text[i - 1]));
        out += text[i] == '\\' ? "\\e" : text[i] == '-' && minus ? "\\-" : std::string(1, text[i]);
    }
    return out;
}
}  // namespace

void useHelpLayout(CLI::App& app) { app.formatter(std::make_shared<HelpLayout>()); }

std::string manualOptions(const CLI::App& app) {
    std::string page = ".SH OPTIONS\n";
    for (const std::string& group : app.get_groups()) {
        if (group.empty()) continue;   // hidden
        page += ".SS \"" + roff(group) + "\"\n";
        for (const CLI::Option* option :
             app.get_options([&](const CLI::Option* o) { return o->get_group() == group; })) {
            std::string name = option->get_name(option->get_positional(), !option->get_positional());
            std::string value = valueName(*option);
            page += ".TP\n\\fB" + roff(name, true) + "\\fR" +
                    (value.empty() ? "" : " \\fI" + roff(value, true) + "\\fR") +
                    "\n" + roff(description(*option)) + "\n";
        }
    }
    return page;
}

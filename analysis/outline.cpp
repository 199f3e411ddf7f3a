// analysis/: what an editor asks about a script, answered in byte offsets of the text it holds:
// the diagnostics of a check that runs the interpreter as the viewer does, the outline, hover
// and completion. It knows nothing of the protocol that carries them; it uses frame/ and below.
//
// The outline is read by the script reader itself, with no tape and no handlers: each command
// word from next(), and for the three commands that name something, the word after it.
#include "analysis/outline.h"

#include <algorithm>

#include "interpreter/script_reader.h"
#include "interpreter/script_scanner.h"

namespace {
// The name a command reads next, or an empty word at the end of the script.
PlacedWord readName(ScriptReader& reader) {
    PlacedWord name;
    reader >> name.text;
    name.offset = reader.position() - std::int64_t(name.text.size());
    return name;
}

// Whether a word follows the line that holds the offset: an overlong comment on the last line
// loses nothing.
bool anythingAfterLine(std::string_view text, std::int64_t offset) {
    std::size_t lineEnd = text.find('\n', std::size_t(offset));
    return lineEnd != std::string_view::npos &&
           text.find_first_not_of(" \t\n\v\f\r", lineEnd) != std::string_view::npos;
}
}  // namespace

ScriptOutline outlineScript(const std::shared_ptr<const std::string>& text) {
    ScriptOutline outline;
    ScriptScanner scanner = ScriptScanner::fromText(text);
    ScriptReader reader(scanner, nullptr);
    ListBlock* open = nullptr;   // the block of the list being made
    while (reader.next()) {
        const std::string& word = reader.word();
        std::int64_t begin = reader.offset();
        if (word == "EndList" && open) {
            open->end = reader.position();
            open = nullptr;
            continue;
        }
        // A BeginList inside a list's body is refused before it reads its name.
        if (word != "CallList" && word != "TextureImage" && (word != "BeginList" || open)) continue;
        PlacedWord name = readName(reader);
        if (name.text.empty()) break;
        if (word == "CallList") {
            outline.calls.push_back(std::move(name));
        } else if (word == "TextureImage") {
            outline.pictures.push_back(std::move(name));
        } else {
            outline.lists.push_back({std::move(name), begin, std::int64_t(text->size())});
            open = &outline.lists.back();
        }
    }
    if ((scanner.rdstate() & ScriptScanner::failbit) && !(scanner.rdstate() & ScriptScanner::eofbit) &&
        anythingAfterLine(*text, scanner.position()))
        outline.readingStops = scanner.position();
    return outline;
}

const ListBlock* findList(const ScriptOutline& outline, std::string_view name) {
    auto found = std::find_if(outline.lists.begin(), outline.lists.end(),
                              [&](const ListBlock& list) { return list.name.text == name; });
    return found == outline.lists.end() ? nullptr : &*found;
}

int lineOfOffset(std::string_view text, std::int64_t offset) {
    offset = std::clamp<std::int64_t>(offset, 0, std::int64_t(text.size()));
    return 1 + int(std::count(text.begin(), text.begin() + offset, '\n'));
}

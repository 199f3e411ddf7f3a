// The check; see check.h. The text runs through the viewer's own frame, twice when the first
// frame is clean: a later frame of a version can report what the first could not (a primitive
// left open at the end of the script is found by the next frame's Begin). Both read the text,
// as corvane-render --reread does; a replayed frame reports the same. The warnings come
// from the outline, so they cover the whole script, also what an error kept from running.
#include "analysis/check.h"

#include <GL/gl.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string_view>

#include "analysis/outline.h"
#include "commands/texture_file.h"
#include "frame/frame.h"
#include "frame/session.h"
#include "interpreter/message_log.h"
#include "interpreter/runner.h"
#include "interpreter/script_scanner.h"
#include "scene/script_file.h"

namespace fs = std::filesystem;

namespace {
bool finishedFrame() {
    bool ran = drawFrame();
    glFinish();
    return ran;
}

// A log message is about the word at its offset; the end-of-script messages point at the end.
Finding findingOfMessage(std::string_view text, const LogMessage& message) {
    auto size = std::int64_t(text.size());
    std::int64_t begin = message.offset < 0 ? 0 : std::min(message.offset, size);
    std::int64_t end = begin;
    while (end < size && !isScriptSpace(text[std::size_t(end)])) ++end;
    return {begin, end, Severity::error, std::string(messageText(message))};
}

void collectLog(std::string_view text, std::vector<Finding>& found) {
    const auto& messages = logMessages();
    for (std::size_t i = 0; i < messages.size() && i < mostMessages; ++i)
        found.push_back(findingOfMessage(text, messages[i]));
    if (messages.size() > mostMessages) {
        Finding more = findingOfMessage(text, messages[mostMessages]);
        more.severity = Severity::information;
        more.message = std::to_string(messages.size() - mostMessages) + " more messages in the log";
        found.push_back(more);
    }
}

// Why TextureImage cannot load the picture, looked up from the current directory; empty when it can.
std::string whyUnreadable(const std::string& name, int largestSide) {
    std::vector<unsigned char> bytes;
    if (readTextureFile(name, largestSide, bytes)) return "";
    std::error_code error;
    fs::file_status status = fs::status(name, error);
    if (!fs::exists(status)) return "there is no such file";
    if (fs::is_directory(status)) return "it is a directory";
    if (!fs::is_regular_file(status)) return "it is not a regular file";
    if (::access(name.c_str(), R_OK) != 0) return "permission denied";
    return "it is not a picture a texture can hold";
}

void checkPictures(const ScriptOutline& outline, const std::string& directory, std::vector<Finding>& found) {
    GLint largestSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largestSide);
    std::map<std::string, std::string> reasons;   // each name is tried once
    for (const PlacedWord& picture : outline.pictures) {
        auto [known, fresh] = reasons.try_emplace(picture.text);
        if (fresh) known->second = whyUnreadable(picture.text, largestSide);
        if (known->second.empty()) continue;
        std::string where = fs::path(picture.text).is_absolute() ? "" : " in " + directory;
        found.push_back({picture.offset, picture.end(), Severity::warning,
                         "Cannot read picture \"" + picture.text + "\"" + where + ": " + known->second});
    }
}

void checkCalls(const ScriptOutline& outline, std::vector<Finding>& found) {
    for (const PlacedWord& call : outline.calls)
        if (!findList(outline, call.text))
            found.push_back({call.offset, call.end(), Severity::warning,
                             "No BeginList in the script makes display list " + call.text});
}

void checkReadingStop(std::string_view text, const ScriptOutline& outline, std::vector<Finding>& found) {
    if (outline.readingStops < 0) return;
    std::size_t lineStart = text.rfind('\n', std::size_t(outline.readingStops));
    lineStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
    found.push_back({std::int64_t(lineStart), outline.readingStops, Severity::warning,
                     "The script is read no further: a comment's line must be shorter than 2000 "
                     "characters"});
}
}  // namespace

std::vector<Finding> checkScript(const std::shared_ptr<const std::string>& text, const ScriptPlace& place) {
    std::vector<Finding> found;
    std::error_code ignored;
    fs::current_path(place.directory, ignored);
    resetSession();
    chooseScriptFile(place.name);
    runTextInPlaceOfFile(text);
    // Both frames read the text: a tape recorded to be replayed once would only cost memory.
    // Each frame is finished before the next, as the viewer's buffer swap finishes it: the GL
    // would otherwise hold the first one's work while queueing the second's.
    allowTape(false);
    if (finishedFrame()) finishedFrame();
    collectLog(*text, found);
    // What lasts between runs is let go of at once: the lists, and the text itself.
    resetSession();

    ScriptOutline outline = outlineScript(text);
    checkPictures(outline, place.directory, found);
    checkCalls(outline, found);
    checkReadingStop(*text, outline, found);
    return found;
}

// The log box: its rows, made again only when the log changes, and the drawing of the rows in
// view. A message's location costs a read of the script up to its offset, so a change of the
// log locates as many rows as a budget of bytes allows and each later frame locates the rows
// that come into view; a log of 100,000 messages costs no more per frame than one of ten.
// A message is shown up to shownBytes; the box says how much of a longer one it leaves out.
#include "viewer/log_box.h"

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <utility>

#include "frame/frame.h"
#include "frame/visible_text.h"
#include "interpreter/message_log.h"
#include "interpreter/runner.h"
#include "interpreter/script_location.h"
#include "scene/script_file.h"

namespace {
struct Row {
    std::int64_t offset;    // in the script, of the word the message is about
    bool located;           // location below is known
    std::string location;   // "LINE:COLUMN"; empty for the status line
    std::string text;       // as shown
    float top;              // from the top of the box's content, in pixels
};

// What the rows were made from: a frame's outcome, the script's name and version, the log.
struct LogVersion {
    bool ran = true;
    std::string script;
    std::uint64_t version = 0;
    std::vector<LogMessage> messages;
};

// Log box state.
bool lastRan = true;         // whether the last frame ran cleanly
bool rowsMade = false;       // whether the rows below belong to `made`
LogVersion made;             // what the rows show
std::vector<Row> rows;       // one per message, or the status line
float columnWidth = 0;       // of the location column, the gap after it included
float laidOutFor = -1;       // the wrap width the rows' tops were computed for; -1: none yet
float contentHeight = 0;     // of all rows
bool scrollToTop = false;    // a new log starts at its first message

constexpr std::size_t shownBytes = 2048;          // of one message
constexpr std::int64_t locateBudget = 32 << 20;   // script bytes read per frame to locate rows
constexpr std::int64_t locateCost = 64 << 10;     // counted for each location besides its offset
constexpr float columnGap = 8;                    // between a location and its message

bool sameMessages(const std::vector<LogMessage>& a, const std::vector<LogMessage>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.begin == y.begin && x.length == y.length && x.offset == y.offset;
    });
}

// A new version of the script gives a new log even when its messages have the same places in
// the log's text, and their lines may have moved; the runner tells.
bool logChanged() {
    if (!rowsMade || lastRan != made.ran || scriptFileName() != made.script) return true;
    if (made.ran) return false;
    return scriptVersion() != made.version || !sameMessages(logMessages(), made.messages);
}

// As far as the font has a glyph.
bool fontShows(char32_t code) {
    if (code > IM_UNICODE_CODEPOINT_MAX || !ImGui::GetCurrentContext()) return false;
    const ImFont* font = ImGui::GetFont();
    return font && font->FindGlyphNoFallback(ImWchar(code));
}

std::string shownText(std::string_view message) {
    if (message.size() <= shownBytes) return visibleText(message, fontShows);
    return visibleText(message.substr(0, shownBytes), fontShows) + " ... (" +
           std::to_string(message.size() - shownBytes) + " more bytes)";
}

void noteLocationWidth(const std::string& location) {
    float width = ImGui::CalcTextSize(location.c_str()).x + columnGap;
    if (width > columnWidth) {
        columnWidth = width;
        laidOutFor = -1;   // the messages' wrap width changes with the column
    }
}

// Locates the rows from first to last that are not located yet while the budget lasts; the
// first one found is always located, however far into the script it points.
void locate(std::size_t first, std::size_t last, std::int64_t& budget) {
    for (std::size_t i = first; i < last && budget > 0; ++i) {
        Row& row = rows[i];
        if (row.located) continue;
        budget -= std::max<std::int64_t>(row.offset, 0) + locateCost;
        LineColumn at = locateOffset(made.script, row.offset);
        row.location = std::to_string(at.line) + ":" + std::to_string(at.column);
        row.located = true;
        noteLocationWidth(row.location);
    }
}

void makeRows() {
    made.ran = lastRan;
    made.script = scriptFileName();
    made.version = scriptVersion();
    made.messages.clear();
    rows.clear();
    if (made.ran) {
        rows.push_back({-1, true, "", visibleText(statusText(), fontShows), 0});
    } else {
        made.messages = logMessages();
        for (const LogMessage& message : made.messages)
            rows.push_back({message.offset, false, "", shownText(messageText(message)), 0});
    }
    rowsMade = true;
    columnWidth = 0;
    laidOutFor = -1;
    scrollToTop = true;
    std::int64_t budget = locateBudget;
    locate(0, rows.size(), budget);
}

// Each row's top, for messages wrapped at this width. The heights come from the same
// measurement the drawing uses, so the rows meet exactly.
void layOut(float wrapWidth) {
    const float spacing = ImGui::GetStyle().ItemSpacing.y;
    float top = 0;
    for (Row& row : rows) {
        row.top = top;
        const char* text = row.text.data();
        float height = ImGui::CalcTextSize(text, text + row.text.size(), false, wrapWidth).y;
        top += std::max(height, ImGui::GetTextLineHeight()) + spacing;
    }
    contentHeight = top;
    laidOutFor = wrapWidth;
}

// The rows that reach into the content between from and to (pixels from the content's top).
std::pair<std::size_t, std::size_t> rowsBetween(float from, float to) {
    auto above = [](float y, const Row& row) { return y < row.top; };
    auto first = std::upper_bound(rows.begin(), rows.end(), from, above);
    auto last = std::upper_bound(rows.begin(), rows.end(), to, above);
    if (first != rows.begin()) --first;
    return {std::size_t(first - rows.begin()), std::size_t(last - rows.begin())};
}

void drawRow(const Row& row, ImVec2 start, float wrapWidth) {
    ImGui::SetCursorPos(ImVec2(start.x, start.y + row.top));
    if (!row.location.empty()) {
        ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled));
        ImGui::TextUnformatted(row.location.c_str());
        ImGui::PopStyleColor();
    }
    ImGui::SetCursorPos(ImVec2(start.x + columnWidth, start.y + row.top));
    ImGui::PushTextWrapPos(start.x + columnWidth + wrapWidth);
    ImGui::TextUnformatted(row.text.data(), row.text.data() + row.text.size());
    ImGui::PopTextWrapPos();
}

void drawRows() {
    if (scrollToTop) {
        ImGui::SetScrollY(0);
        scrollToTop = false;
    }
    const ImVec2 start = ImGui::GetCursorPos();
    const float width = ImGui::GetContentRegionAvail().x;
    const float from = ImGui::GetScrollY() - start.y, to = from + ImGui::GetWindowHeight();
    if (laidOutFor < 0) layOut(std::max(width - columnWidth, 1.0f));
    std::int64_t budget = locateBudget;
    auto [first, last] = rowsBetween(from, to);
    locate(first, last, budget);
    // A wider location than any before moves every message over.
    const float wrapWidth = std::max(width - columnWidth, 1.0f);
    if (laidOutFor != wrapWidth) {
        layOut(wrapWidth);
        std::tie(first, last) = rowsBetween(from, to);
    }
    for (std::size_t i = first; i < last; ++i) drawRow(rows[i], start, wrapWidth);
    // The rows out of view still give the content its height, for the scroll bar.
    ImGui::SetCursorPos(ImVec2(start.x, start.y + contentHeight));
    ImGui::Dummy(ImVec2(0, 0));
}
}  // namespace

void updateLogBox(bool ran) { lastRan = ran; }

void refreshLogBox() {
    if (logChanged()) makeRows();
}

std::string logBoxHeading() {
    if (made.ran) return "Log";
    return "Log: " + std::to_string(rows.size()) + (rows.size() == 1 ? " message" : " messages");
}

void drawLogBox(ImVec2 size) {
    ImGui::PushStyleColor(ImGuiCol_ChildBg, ImGui::GetStyleColorVec4(ImGuiCol_FrameBg));
    bool open = ImGui::BeginChild("##log", size, true, ImGuiWindowFlags_AlwaysVerticalScrollbar);
    ImGui::PopStyleColor();
    if (open) drawRows();
    ImGui::EndChild();
}

std::vector<LogBoxRow> logBoxRows() {
    std::vector<LogBoxRow> shown;
    for (const Row& row : rows) shown.push_back({row.location, row.text});
    return shown;
}

void resetLogBox() {
    lastRan = true;
    rowsMade = false;
    made = {};
    rows.clear();
    columnWidth = 0;
    laidOutFor = -1;
    contentHeight = 0;
}

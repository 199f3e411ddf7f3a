// The file browser: a list of the current directory, made when a directory is entered, on
// request, and when the kernel reports that an entry came, went or was renamed (inotify), never
// per frame, so a large directory costs nothing while the scene animates. Where no watch can be
// had, the list is made again once a second instead.
// Order: the way up (".."), then directories, then files, each group by name; directories end
// in "/". Entering a directory changes the process's working directory, against which the
// script's name and its image files are resolved.
// The only row highlighted is the file being drawn. A new listing shows no hover until the
// mouse moves: after a double click the pointer rests on whatever row took the place of the
// one clicked, and lighting that row up would look like a choice nobody made.
#include "viewer/file_browser.h"

#include <imgui.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "scene/script_file.h"

namespace {
std::vector<BrowserEntry> entries;   // the listing shown, ".." first
std::string chosen;                  // bare name of the file last chosen
std::string listed;                  // the directory the listing is of, shown above it
std::string note;                    // why the last directory could not be entered, or empty
ImVec2 pointerAtListing;             // where the mouse was when the listing was made
bool hoverHeld = false;              // no hover shows until the mouse leaves that point
int watcher = -1;                    // the inotify instance, or -1 when none could be had
int watch = -1;                      // its watch on the listed directory, or -1
std::chrono::steady_clock::time_point listedAt;   // when the listing was made

// Reads every change reported so far; whether there was any.
bool changesReported() {
    bool any = false;
    alignas(inotify_event) char events[4096];
    while (read(watcher, events, sizeof events) > 0) any = true;
    return any;
}

// Watches the working directory in place of the one watched before, and forgets the changes
// reported so far: the listing made next includes them.
void watchWorkingDirectory() {
    if (watcher < 0) watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watcher < 0) return;
    if (watch >= 0) inotify_rm_watch(watcher, watch);
    watch = inotify_add_watch(watcher, ".", IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
    changesReported();
}

// Whether the directory may have changed since it was listed: the watch reported a change (or
// lost count of them), or, without a watch, a second has passed.
bool listingStale() {
    if (watch < 0) return std::chrono::steady_clock::now() - listedAt >= std::chrono::seconds(1);
    return changesReported();
}

bool isDirectory(const std::filesystem::directory_entry& entry) {
    std::error_code ignored;
    return entry.is_directory(ignored);   // follows links; a broken link counts as a file
}

bool listedBefore(const BrowserEntry& a, const BrowserEntry& b) {
    if (a.isDirectory != b.isDirectory) return a.isDirectory;
    return a.name < b.name;
}

std::string shownName(const BrowserEntry& entry) {
    return entry.isDirectory ? entry.name + "/" : entry.name;
}

// The script may have been named with a path on the command line, so the row is found by
// file identity; only a row of the same bare name is worth asking the file system about.
int drawnRow() {
    const std::filesystem::path script(scriptFileName());
    if (script.empty()) return -1;
    const std::string bare = script.filename().string();
    std::error_code error;
    for (int i = 1; i < int(entries.size()); ++i)
        if (!entries[i].isDirectory && entries[i].name == bare &&
            std::filesystem::equivalent(entries[i].name, script, error))
            return i;
    return -1;
}

// The rows' colours: the drawn file's row stands out more than a hovered one, and a hovered
// row shows nothing while the hover is held back.
struct RowColours {
    ImVec4 drawn, hovered;
};

bool drawRow(int i, bool drawn, const RowColours& colours) {
    ImVec4 hovered = drawn ? colours.drawn : hoverHeld ? ImVec4(0, 0, 0, 0) : colours.hovered;
    ImGui::PushStyleColor(ImGuiCol_HeaderHovered, hovered);
    ImGui::PushStyleColor(ImGuiCol_HeaderActive, hovered);
    ImGui::PushID(i);
    bool clicked = ImGui::Selectable(shownName(entries[i]).c_str(), drawn,
                                     ImGuiSelectableFlags_AllowDoubleClick);
    ImGui::PopID();
    ImGui::PopStyleColor(2);
    return clicked;
}
}  // namespace

void listDirectory() {
    watchWorkingDirectory();
    listedAt = std::chrono::steady_clock::now();
    entries.assign(1, {"..", true});
    std::error_code error;
    listed = std::filesystem::current_path(error).string();
    std::filesystem::directory_iterator it(".", error), end;
    // A directory that cannot be read lists only the way up.
    for (; !error && it != end; it.increment(error))
        entries.push_back({it->path().filename().string(), isDirectory(*it)});
    std::sort(entries.begin() + 1, entries.end(), listedBefore);
    hoverHeld = ImGui::GetCurrentContext() != nullptr;
    if (hoverHeld) pointerAtListing = ImGui::GetIO().MousePos;
}

const std::vector<BrowserEntry>& browserEntries() { return entries; }
const std::string& chosenFile() { return chosen; }
const std::string& listedDirectory() { return listed; }
const std::string& browserNote() { return note; }

void activateEntry(const BrowserEntry& entry, int id, void (*callback)(int)) {
    note.clear();
    if (entry.isDirectory) {
        // When the directory cannot be entered the old one stays; listing it again shows
        // whatever changed in the meantime.
        if (::chdir(entry.name.c_str()) != 0)
            note = "Cannot enter " + shownName(entry) + ": " + std::strerror(errno);
        listDirectory();
        return;
    }
    chosen = entry.name;
    callback(id);
}

void drawFileBrowser(float width, float height, int id, void (*callback)(int)) {
    if (listingStale()) listDirectory();
    const ImVec2 mouse = ImGui::GetIO().MousePos;
    if (mouse.x != pointerAtListing.x || mouse.y != pointerAtListing.y) hoverHeld = false;
    if (!ImGui::BeginListBox("##files", ImVec2(width, height))) return;
    const RowColours colours = {ImGui::GetStyleColorVec4(ImGuiCol_HeaderHovered),
                                ImGui::GetStyleColorVec4(ImGuiCol_Header)};
    ImGui::PushStyleColor(ImGuiCol_Header, colours.drawn);
    // Activation changes the listing, so it waits until the loop over it is done.
    int activated = -1, drawn = drawnRow();
    for (int i = 0; i < int(entries.size()); ++i)
        if (drawRow(i, i == drawn, colours) && ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left))
            activated = i;
    ImGui::PopStyleColor();
    ImGui::EndListBox();
    if (activated >= 0) activateEntry(BrowserEntry(entries[activated]), id, callback);
}

void resetFileBrowser() {
    chosen.clear();
    note.clear();
    listDirectory();
}

// The file browser: a list of the current directory, made when a directory is entered or on
// request, never per frame, so a large directory costs nothing while the scene animates.
// Order: the way up (".."), then directories, then files, each group by name; directories end
// in "/". Entering a directory changes the process's working directory, against which the
// script's name and its image files are resolved.
#include "viewer/file_browser.h"

#include <imgui.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace {
std::vector<BrowserEntry> entries;   // the listing shown, ".." first
std::string chosen;                  // bare name of the file last chosen
int selected = -1;                   // entry highlighted by a single click, -1 for none

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
}  // namespace

void listDirectory() {
    entries.assign(1, {"..", true});
    selected = -1;
    std::error_code error;
    std::filesystem::directory_iterator it(".", error), end;
    // A directory that cannot be read lists only the way up.
    for (; !error && it != end; it.increment(error))
        entries.push_back({it->path().filename().string(), isDirectory(*it)});
    std::sort(entries.begin() + 1, entries.end(), listedBefore);
}

const std::vector<BrowserEntry>& browserEntries() { return entries; }
const std::string& chosenFile() { return chosen; }

void activateEntry(const BrowserEntry& entry, int id, void (*callback)(int)) {
    if (entry.isDirectory) {
        // When the directory cannot be entered the old one stays; listing it again shows
        // whatever changed in the meantime.
        [[maybe_unused]] bool entered = ::chdir(entry.name.c_str()) == 0;
        listDirectory();
        return;
    }
    chosen = entry.name;
    callback(id);
}

void drawFileBrowser(float width, float height, int id, void (*callback)(int)) {
    if (!ImGui::BeginListBox("##files", ImVec2(width, height))) return;
    // Activation changes the listing, so it waits until the loop over it is done.
    int activated = -1;
    for (int i = 0; i < int(entries.size()); ++i) {
        ImGui::PushID(i);
        if (ImGui::Selectable(shownName(entries[i]).c_str(), selected == i,
                              ImGuiSelectableFlags_AllowDoubleClick)) {
            selected = i;
            if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left)) activated = i;
        }
        ImGui::PopID();
    }
    ImGui::EndListBox();
    if (activated >= 0) activateEntry(BrowserEntry(entries[activated]), id, callback);
}

void resetFileBrowser() {
    chosen.clear();
    listDirectory();
}

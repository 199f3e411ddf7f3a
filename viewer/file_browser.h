// The file browser of the left panel: the current directory's entries, a way up, directories
// entered by changing the process's working directory, and files chosen by their bare name.
// The row of the file being drawn is highlighted, and no other.
#pragma once

#include <string>
#include <vector>

struct BrowserEntry {
    std::string name;    // bare name, ".." for the way up
    bool isDirectory;
};

// Lists the current directory again (on entry, at start, on an explicit refresh, and when the
// directory has changed: drawing the list looks for that first).
void listDirectory();
const std::vector<BrowserEntry>& browserEntries();
// What a double click on an entry does: a directory is entered (the working directory changes
// and the list is made again); a file becomes the chosen file and callback(id) is called.
void activateEntry(const BrowserEntry& entry, int id, void (*callback)(int));
// The bare name of the last file chosen (empty before any choice).
const std::string& chosenFile();
// The directory listed, as the panel shows it above the list.
const std::string& listedDirectory();
// Why the last directory double-clicked could not be entered ("Cannot enter NAME/: reason"),
// shown under the list until the next activation; empty when it could.
const std::string& browserNote();
// Draws the list, width and height in pixels; a double click activates an entry.
void drawFileBrowser(float width, float height, int id, void (*callback)(int));
// Forgets the choice and the note and lists the current directory (start-up and tests).
void resetFileBrowser();

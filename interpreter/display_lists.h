// Display lists: BeginList, EndList, CallList and the table of compiled lists, which lasts until
// the script file changes.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <map>
#include <string>

struct DisplayListEntry {
    GLuint listId = 0;                  // from glGenLists(1)
    std::int64_t resumePosition = -1;   // byte offset just after the EndList; set by EndList
    std::int64_t namePosition = -1;     // byte offset just after the BeginList's name
    int groupDepth = 0;                 // stack levels its groups push at most when replayed
    int listDepth = 0;                  // levels of lists its replay calls below itself
    std::int64_t callsReplayed = 0;     // lists its replay calls, all levels together
};

using DisplayListTable = std::map<std::string, DisplayListEntry>;

const DisplayListTable& displayListTable();
// The name of the list being compiled, empty when none is.
const std::string& currentListName();
// The id of the list being compiled, 0 when none is.
GLuint compilingList();
// How many lists have been compiled since the process started (a run compiled one when the
// count moved).
long listsCompiled();

// The "{" and "}" handlers report each push (+1) and pop (-1) they record into the list being
// compiled, so the list knows how many stack levels its replay needs.
void noteRecordedGroup(int change);

// For the runner. On a file change: deletes every list, in key order, and empties the table.
void deleteDisplayLists();
// At the end of a run: finishes a list whose EndList never came; true when there was one.
bool closeUnfinishedList();
// Finishes and deletes every list (a fresh process, for tests).
void resetDisplayLists();

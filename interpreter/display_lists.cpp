// Display lists: BeginList, EndList, CallList and DisplayListTable. On the first frame of a file
// version a list's body is compiled; on later frames BeginList seeks straight past its EndList,
// so the body is neither read nor parsed nor run again. Each entry also remembers where its
// name stands, so a second definition of the name is reported instead of seeking back to the
// first one's end for ever, and how deep its groups nest, so a replay can never push past the
// GL's stacks and then pop levels that its caller (or the frame) saved.
#include "interpreter/display_lists.h"

#include <algorithm>

#include "interpreter/command_table.h"
#include "interpreter/gl_state.h"
#include "interpreter/message_log.h"
#include "interpreter/open_primitive.h"
#include "interpreter/run_stats.h"

namespace {
DisplayListTable table;     // every list of the current file version, by name
std::string listName;       // the list being compiled, empty when none is
GLuint listId = 0;          // its id, 0 when none is
int recordedNesting = 0;    // groups open in the body being compiled
long compiledLists = 0;     // lists begun since start

// More calls than this in one replay would hold the frame for seconds or for ever: a few lines
// of lists that each call the previous one twice draw 2^60 times.
constexpr std::int64_t maxCallsReplayed = 1 << 20;
// The GL's nesting limit for lists in lists: at least 64 everywhere, and 64 in Mesa. Not asked
// of the GL, which may not be asked between Begin and End.
constexpr int maxListNesting = 64;

void startList(const std::string& name, std::int64_t namePosition) {
    DisplayListEntry& entry = table[name];
    ++compiledLists;
    entry.listId = glGenLists(1);
    entry.namePosition = namePosition;
    listName = name;
    listId = entry.listId;
    recordedNesting = 0;
    forgetListValues();
    glNewList(entry.listId, GL_COMPILE);
}

void finishList() {
    closePrimitive(listId);
    glEndList();
    listName.clear();
    listId = 0;
}

bool beginList(ScriptStream& in) {
    // The name stays in the stream for the runner.
    if (!listName.empty()) return refuse("Already inside a BeginList - you cannot nest");
    std::string name;
    in >> name;
    if (name.empty()) return true;   // the file ended: there is no list to open
    // Between glBegin and glEnd the GL makes no list (glGenLists gives 0), and Mesa 22 crashed
    // on the calls that followed for the list it thought it had.
    if (drawingPrimitive()) return refuse("BeginList is not allowed between Begin and End");
    auto found = table.find(name);
    if (found == table.end()) {
        startList(name, in.position());
        return true;
    }
    if (found->second.namePosition != in.position())
        return refuse("Display list " + name + " is already defined");
    in.seekg(found->second.resumePosition);
    return true;
}

bool endList(ScriptStream& in) {
    if (listName.empty()) return refuse("EndList does not match a BeginList");
    // Not tellg: after an EndList that ends the file it fails, and the end is the right place.
    table[listName].resumePosition = in.position();
    finishList();
    return true;
}

bool callList(ScriptStream& in) {
    std::string name;
    in >> name;
    auto found = table.find(name);
    if (found == table.end()) return refuse("No such display list " + name);
    const DisplayListEntry& called = found->second;
    if (name == listName) {
        // A list that calls itself is replayed to the GL's nesting limit at best; at worst the
        // driver follows the call for ever when the list is ended (Mesa 22 does for a list
        // that another list calls between Begin and End) and the viewer dies.
        return refuse("Display list " + name + " cannot call itself");
    }
    if (!listName.empty()) {
        // The GL skips calls nested deeper than its limit, and Mesa walks every chain of calls
        // when a list is ended; a list may call a million lists, never more, when replayed.
        DisplayListEntry& caller = table[listName];
        if (called.listDepth + 2 > maxListNesting)
            return refuse("Display list " + name + " nests lists too deeply to be called from a list");
        if (caller.callsReplayed + 1 + called.callsReplayed > maxCallsReplayed)
            return refuse("Display list " + listName + " would call more than a million lists");
        caller.groupDepth = std::max(caller.groupDepth, recordedNesting + called.groupDepth);
        caller.listDepth = std::max(caller.listDepth, called.listDepth + 1);
        caller.callsReplayed += 1 + called.callsReplayed;
    } else if (called.groupDepth > 0 && !stacksHaveRoomFor(called.groupDepth)) {
        return refuse("Display list " + name + " nests groups too deeply to be called here");
    }
    glCallList(called.listId);
    forgetListValues();
    noteListReplayed();
    return true;
}
}  // namespace

const DisplayListTable& displayListTable() { return table; }
const std::string& currentListName() { return listName; }

GLuint compilingList() { return listId; }
long listsCompiled() { return compiledLists; }

void noteRecordedGroup(int change) {
    if (listName.empty()) return;
    recordedNesting += change;
    DisplayListEntry& entry = table[listName];
    entry.groupDepth = std::max(entry.groupDepth, recordedNesting);
}

void deleteDisplayLists() {
    for (const auto& [name, entry] : table) glDeleteLists(entry.listId, 1);
    table.clear();
}

bool closeUnfinishedList() {
    if (listName.empty()) return false;
    finishList();
    return true;
}


void resetDisplayLists() {
    closeUnfinishedList();
    deleteDisplayLists();
}

namespace {
const CommandRow rows[] = {
    {"BeginList", beginList},
    {"EndList", endList},
    {"CallList", callList},
};
}
std::span<const CommandRow> displayListCommands() { return rows; }

// Immediate primitives: Begin with a primitive kind, End, and Vertex, Normal, Color and
// TextureCoord. insideBegin is shared with the NURBS forms of Begin and End. Components that
// fail to read are 0. The GL primitive of a plain Begin is tracked apart from insideBegin (in
// interpreter/open_primitive): a run or a list body that ends without End closes it, so the
// frame can finish, while insideBegin lasts until an End.
#include "commands/primitives.h"

#include <string>

#include "commands/nurbs.h"
#include "commands/registry.h"
#include "interpreter/command_table.h"
#include "interpreter/display_lists.h"
#include "interpreter/message_log.h"
#include "interpreter/open_primitive.h"

namespace {
template <GLenum mode>
void startPrimitive() {
    openPrimitive(mode);
}

struct PrimitiveKind {
    const char* word;
    void (*start)();
};

// Compared in this order, exactly over the whole word.
const PrimitiveKind primitiveKinds[] = {
    {"Points", startPrimitive<GL_POINTS>},
    {"Lines", startPrimitive<GL_LINES>},
    {"Triangles", startPrimitive<GL_TRIANGLES>},
    {"TriangleStrip", startPrimitive<GL_TRIANGLE_STRIP>},
    {"Quads", startPrimitive<GL_QUADS>},
    {"Polygon", startPrimitive<GL_POLYGON>},
    {"NURBS", startSurface},
    {"NURBSCurve", startCurve},
};

bool begin(ScriptStream& in) {
    if (insideBegin()) return refuse("Nested Begin is not allowed");   // the kind word stays unread
    std::string kind;
    in >> kind;
    for (const PrimitiveKind& k : primitiveKinds) {
        if (kind == k.word) {
            k.start();
            noteBegin();
            return true;
        }
    }
    return refuse("Invalid primitive \"" + kind + "\" followed Begin");
}

// A NURBS block in progress is finished first, whatever insideBegin says.
bool end(ScriptStream&) {
    if (NurbsEnd nurbs = finishNurbs(); nurbs != NurbsEnd::none) {
        noteEnd();
        return nurbs == NurbsEnd::finished;
    }
    if (!insideBegin()) return refuse("End was not preceeded by a Begin");
    closePrimitive(compilingList());
    noteEnd();
    return true;
}

template <int count, void (*give)(const float*)>
bool readAndGive(ScriptStream& in) {
    float values[3] = {0, 0, 0};
    for (int i = 0; i < count; ++i) in >> values[i];
    give(values);
    return true;
}
}  // namespace

void resetPrimitives() { resetOpenPrimitive(); }

namespace {
const CommandRow rows[] = {
    {"Begin", begin},
    {"End", end},
    {"Vertex", readAndGive<3, giveVertex>, {giveVertex, 3}},
    {"Normal", readAndGive<3, giveNormal>, {giveNormal, 3}},
    {"Color", readAndGive<3, giveColor>, {giveColor, 3}},
    {"TextureCoord", readAndGive<2, giveTexCoord>, {giveTexCoord, 2}},
};
}  // namespace
std::span<const CommandRow> primitiveCommands() { return rows; }

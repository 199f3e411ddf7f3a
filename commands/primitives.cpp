// Immediate primitives: Begin with a primitive kind, End, and Vertex, Normal, Color and
// TextureCoord, each issued at once. insideBegin is shared with the NURBS forms of Begin and End.
// Components that fail to read are 0. The GL primitive of a plain Begin is tracked apart from
// insideBegin: a run or a list body that ends without End closes it, so the frame can finish.
#include "commands/primitives.h"

#include <string>

#include "commands/nurbs.h"
#include "interpreter/command_table.h"
#include "interpreter/display_lists.h"
#include "interpreter/message_log.h"

bool insideBegin = false;

namespace {
bool primitiveOpen = false;   // a plain Begin's glBegin has had no glEnd yet
GLuint primitiveList = 0;     // ... recorded into this display list, or drawn at once (0)
int verticesGiven = 0;        // ... with this many vertices so far
int verticesNeeded = 0;       // ... of the least its kind draws anything with

template <GLenum mode, int needed>
void startPrimitive() {
    glBegin(mode);
    primitiveOpen = true;
    primitiveList = compilingList();
    verticesGiven = 0;
    verticesNeeded = needed;
}

struct PrimitiveKind {
    const char* word;
    void (*start)();
};

// Compared in this order, exactly over the whole word.
const PrimitiveKind primitiveKinds[] = {
    {"Points", startPrimitive<GL_POINTS, 1>},
    {"Lines", startPrimitive<GL_LINES, 2>},
    {"Triangles", startPrimitive<GL_TRIANGLES, 3>},
    {"TriangleStrip", startPrimitive<GL_TRIANGLE_STRIP, 3>},
    {"Quads", startPrimitive<GL_QUADS, 4>},
    {"Polygon", startPrimitive<GL_POLYGON, 3>},
    {"NURBS", startSurface},
    {"NURBSCurve", startCurve},
};

bool begin(ScriptStream& in) {
    if (insideBegin) {
        logLine("Nested Begin is not allowed");
        return false;   // the kind word stays in the stream for the runner
    }
    std::string kind;
    in >> kind;
    for (const PrimitiveKind& k : primitiveKinds) {
        if (kind == k.word) {
            k.start();
            insideBegin = true;
            return true;
        }
    }
    logLine("Invalid primitive \"" + kind + "\" followed Begin");
    return false;
}

// A NURBS block in progress is finished first, whatever insideBegin says.
bool end(ScriptStream&) {
    if (NurbsEnd nurbs = finishNurbs(); nurbs != NurbsEnd::none) {
        insideBegin = false;
        return nurbs == NurbsEnd::finished;
    }
    if (!insideBegin) {
        logLine("End was not preceeded by a Begin");
        return false;
    }
    closePrimitive(compilingList());
    insideBegin = false;
    return true;
}

bool vertex(ScriptStream& in) {
    float x = 0, y = 0, z = 0;
    in >> x >> y >> z;
    glVertex3f(x, y, z);
    countVertex();
    return true;
}

bool normal(ScriptStream& in) {
    float x = 0, y = 0, z = 0;
    in >> x >> y >> z;
    glNormal3f(x, y, z);
    return true;
}

bool color(ScriptStream& in) {
    float r = 0, g = 0, b = 0;
    in >> r >> g >> b;
    glColor3f(r, g, b);
    return true;
}

bool textureCoord(ScriptStream& in) {
    float s = 0, t = 0;
    in >> s >> t;
    glTexCoord2f(s, t);
    return true;
}

}  // namespace

bool primitiveOpenIn(GLuint list) { return primitiveOpen && primitiveList == list; }

void countVertex() {
    if (primitiveOpen) ++verticesGiven;
}

void closePrimitive(GLuint list) {
    if (!primitiveOpenIn(list)) return;
    glEnd();
    primitiveOpen = false;
    // Mesa 22 corrupts its heap when a list ends holding two such primitives side by side (a
    // half-written script easily does): a state call, the same at every replay since scripts
    // always run with the model-view matrix current, keeps each in a batch of its own.
    if (list != 0 && verticesGiven < verticesNeeded) glMatrixMode(GL_MODELVIEW);
}

void resetPrimitives() {
    insideBegin = false;
    primitiveOpen = false;
}

namespace {
const CommandRow rows[] = {
    {"Begin", begin},   {"End", end},     {"Vertex", vertex},
    {"Normal", normal}, {"Color", color}, {"TextureCoord", textureCoord},
};
}  // namespace
std::span<const CommandRow> primitiveCommands() { return rows; }

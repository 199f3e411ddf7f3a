// Immediate primitives: Begin with a primitive kind, End, and Vertex, Normal, Color and
// TextureCoord, each issued at once. insideBegin is shared with the NURBS forms of Begin and End.
// Components that fail to read are 0.
#include "commands/primitives.h"

#include <GL/gl.h>

#include <string>

#include "interpreter/command_table.h"
#include "interpreter/message_log.h"

bool insideBegin = false;

namespace {
struct PrimitiveKind {
    const char* word;
    GLenum mode;
};

// Compared in this order, exactly over the whole word.
const PrimitiveKind primitiveKinds[] = {
    {"Points", GL_POINTS},       {"Lines", GL_LINES}, {"Triangles", GL_TRIANGLES},
    {"TriangleStrip", GL_TRIANGLE_STRIP}, {"Quads", GL_QUADS}, {"Polygon", GL_POLYGON},
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
            glBegin(k.mode);
            insideBegin = true;
            return true;
        }
    }
    logLine("Invalid primitive \"" + kind + "\" followed Begin");
    return false;
}

bool end(ScriptStream&) {
    if (!insideBegin) {
        logLine("End was not preceeded by a Begin");
        return false;
    }
    glEnd();
    insideBegin = false;
    return true;
}

bool vertex(ScriptStream& in) {
    float x = 0, y = 0, z = 0;
    in >> x >> y >> z;
    glVertex3f(x, y, z);
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

const CommandRow rows[] = {
    {"Begin", begin},   {"End", end},     {"Vertex", vertex},
    {"Normal", normal}, {"Color", color}, {"TextureCoord", textureCoord},
};
}  // namespace
std::span<const CommandRow> primitiveCommands() { return rows; }

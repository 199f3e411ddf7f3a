// The open primitive; see open_primitive.h. Drawn at once, a primitive goes straight to the GL.
// Recorded into a display list, it is held here until its End and then recorded whole, cut to
// the vertices its kind draws: Mesa 22 corrupts its heap ending a list that holds a primitive
// too short to draw followed by an attribute, or two such primitives in a row, and a held
// primitive never reaches it that way. Nor does its first vertex lack a colour, normal or
// texture coordinate that a later one has (see giveLateAttributesFirst).
#include "interpreter/open_primitive.h"

#include <optional>
#include <vector>

#include "interpreter/display_lists.h"

namespace {
bool beginOpen = false;        // insideBegin

// One call of vertex data held for a primitive that a display list records.
struct HeldCall {
    enum Kind { vertex, normal, color, texCoord } kind;
    float values[3];
};

bool primitiveOpen = false;    // a plain Begin has had no End yet, in this compile context:
GLuint primitiveList = 0;      // ... the display list recording it, or 0 when drawn at once
GLenum primitiveMode = 0;      // ... its kind
std::vector<HeldCall> held;    // ... its vertex data so far, when a list records it

// How many of n vertices the GL draws with for this kind: whole lines, triangles and quads,
// and strips and polygons of at least three.
int verticesDrawn(GLenum mode, int n) {
    switch (mode) {
    case GL_LINES: return n - n % 2;
    case GL_TRIANGLES: return n - n % 3;
    case GL_QUADS: return n - n % 4;
    case GL_TRIANGLE_STRIP:
    case GL_POLYGON: return n >= 3 ? n : 0;
    default: return n;
    }
}

void issue(const HeldCall& call) {
    switch (call.kind) {
    case HeldCall::vertex: glVertex3fv(call.values); break;
    case HeldCall::normal: glNormal3fv(call.values); break;
    case HeldCall::color: glColor3fv(call.values); break;
    case HeldCall::texCoord: glTexCoord2fv(call.values); break;
    }
}

// The colour, normal and texture coordinate the list being compiled last gave, by kind, where
// known.
std::optional<HeldCall> listValues[HeldCall::texCoord + 1];

void noteListValue(const HeldCall& call) { listValues[call.kind] = call; }

// Gives, before the first vertex, each attribute that the drawn vertices first meet after it:
// the value the list last gave, or else the value they meet. Where a list meets a value first in
// a primitive's middle, Mesa 22 ends the list by switching all of it, and every list it calls, to
// replay vertex by vertex; the shapes and primitives it had stored with shared vertices then
// replay from past their own, beyond the end of Mesa's buffer at worst: garbage geometry that
// changes with whatever the lists compiled before left there. The earlier vertices of such a
// primitive take the value it meets (the one the list gave before, where it did).
void giveLateAttributesFirst(int drawn) {
    bool vertexSeen = false, given[HeldCall::texCoord + 1] = {};
    for (std::size_t next = 0; drawn > 0; ++next) {
        const HeldCall& call = held[next];
        if (call.kind == HeldCall::vertex) {
            vertexSeen = true;
            --drawn;
        } else if (!given[call.kind]) {
            given[call.kind] = true;
            if (vertexSeen) issue(listValues[call.kind].value_or(call));
        }
    }
}

// Records the held primitive: the vertices its kind draws with, between glBegin and glEnd,
// then whatever came after the last of them except vertices, so that the current colour,
// normal and texture coordinate end as they would drawn at once.
void recordHeldPrimitive() {
    int vertices = 0;
    for (const HeldCall& call : held) vertices += call.kind == HeldCall::vertex;
    int drawn = verticesDrawn(primitiveMode, vertices);
    std::size_t next = 0;
    if (drawn > 0) {
        glBegin(primitiveMode);
        giveLateAttributesFirst(drawn);
        for (int given = 0; given < drawn; ++next) {
            issue(held[next]);
            given += held[next].kind == HeldCall::vertex;
        }
        glEnd();
    }
    for (; next < held.size(); ++next)
        if (held[next].kind != HeldCall::vertex) issue(held[next]);
    for (const HeldCall& call : held)
        if (call.kind != HeldCall::vertex) noteListValue(call);
    held.clear();
}

// A vertex outside any primitive draws nothing, so the GL is not given it: Mesa 22 keeps such a
// vertex pending and, with a texture coordinate and a texture about, never finishes the frame.
template <HeldCall::Kind kind, void (*call)(const GLfloat*)>
void give(const float* values) {
    auto asHeld = [values] {
        return HeldCall{kind, {values[0], values[1], kind == HeldCall::texCoord ? 0 : values[2]}};
    };
    if (recordingPrimitive()) {
        held.push_back(asHeld());
        return;
    }
    if (kind != HeldCall::vertex || drawingPrimitive()) call(values);
    if (kind != HeldCall::vertex && compilingList() != 0) noteListValue(asHeld());
}
}  // namespace

void openPrimitive(GLenum mode) {
    primitiveOpen = true;
    primitiveList = compilingList();
    primitiveMode = mode;
    held.clear();
    if (primitiveList == 0) glBegin(mode);
}

void closePrimitive(GLuint list) {
    if (!primitiveOpenIn(list)) return;
    if (list == 0)
        glEnd();
    else
        recordHeldPrimitive();
    primitiveOpen = false;
}

bool drawingPrimitive() { return primitiveOpen && primitiveList == 0; }
bool recordingPrimitive() { return primitiveOpen && primitiveList != 0; }
bool primitiveOpenIn(GLuint list) { return primitiveOpen && primitiveList == list; }

void giveVertex(const float xyz[3]) { give<HeldCall::vertex, glVertex3fv>(xyz); }
void giveNormal(const float xyz[3]) { give<HeldCall::normal, glNormal3fv>(xyz); }
void giveColor(const float rgb[3]) { give<HeldCall::color, glColor3fv>(rgb); }
void giveTexCoord(const float st[2]) { give<HeldCall::texCoord, glTexCoord2fv>(st); }

void forgetListValues() {
    for (std::optional<HeldCall>& value : listValues) value.reset();
}

bool insideBegin() { return beginOpen; }
void noteBegin() { beginOpen = true; }
void noteEnd() { beginOpen = false; }

void resetOpenPrimitive() {
    if (primitiveOpen) closePrimitive(primitiveList);
    beginOpen = false;
}

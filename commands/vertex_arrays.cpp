// Vertex arrays: VertexArray, NormalArray, ColorArray and TexCoordArray keep a list of floats for
// the life of the process and point their client array at it; Element issues one vertex from
// every switched-on array. The switches are mirrored here because Element runs between glBegin
// and glEnd, where the GL may not be asked, and Element refuses an index that any switched-on
// list does not hold. The mirror follows what the GL did: between glBegin and glEnd of a
// primitive drawn at once the GL ignores switches and pointers, so there an array command reads
// its numbers and changes nothing (the GL would go on reading the old list, perhaps from freed
// storage). Every pointer is valid from start-up: an empty list's array points at a zero element
// of our own. In a primitive drawn at once the GL reads Element's values itself; anywhere else
// Element hands them over one by one, as Vertex, Normal, Color and TextureCoord would.
#include "commands/vertex_arrays.h"

#include <string>
#include <vector>

#include "commands/counted_list.h"
#include "commands/guarded_array.h"
#include "commands/registry.h"
#include "interpreter/command_table.h"
#include "interpreter/message_log.h"
#include "interpreter/open_primitive.h"

namespace {
using PointerCall = void (*)(const float* first);

struct ClientArray {
    const char* word;          // the script word, also the array's name in messages
    GLenum state;              // the GL's client array
    int floatsPerElement;
    PointerCall pointAt;       // hands the GL the address of the first element
    void (*give)(const float*);   // hands one element to a held primitive
    std::vector<float> list;   // the GL reads from here: refilled only by this array's command
    GuardedArray seen;         // what the GL is pointed at (the list itself, but in fuzz builds)
    bool on;                   // the GL's switch, changed only through switchClientArray
};

// The four arrays, in the order glArrayElement hands their values over (the vertex last).
// Their lists outlive every frame and every script file, since the GL keeps pointing into them.
ClientArray arrays[] = {
    {"TexCoordArray", GL_TEXTURE_COORD_ARRAY, 2,
     [](const float* p) { glTexCoordPointer(2, GL_FLOAT, 0, p); }, giveTexCoord, {}, {}, false},
    {"NormalArray", GL_NORMAL_ARRAY, 3,
     [](const float* p) { glNormalPointer(GL_FLOAT, 0, p); }, giveNormal, {}, {}, false},
    {"ColorArray", GL_COLOR_ARRAY, 3,
     [](const float* p) { glColorPointer(3, GL_FLOAT, 0, p); }, giveColor, {}, {}, false},
    {"VertexArray", GL_VERTEX_ARRAY, 3,
     [](const float* p) { glVertexPointer(3, GL_FLOAT, 0, p); }, giveVertex, {}, {}, false},
};
// Element reports the first list an index lies outside of in this order.
constexpr int checkOrder[] = {3, 1, 2, 0};

// Whole elements only: a last group cut short by a failed read holds no index.
long long elementCount(const ClientArray& array) {
    return (long long)(array.list.size() / std::size_t(array.floatsPerElement));
}

void pointAtList(ClientArray& array) {
    array.list.resize(std::size_t(elementCount(array)) * array.floatsPerElement);
    array.pointAt(array.seen.show(array.list));
}

template <int which>
bool loadArray(ScriptStream& in) {
    ClientArray& array = arrays[which];
    if (drawingPrimitive()) {
        std::vector<float> ignored;
        readCountedFloats(in, ignored, array.floatsPerElement);
        return true;
    }
    array.list.clear();   // keeps its storage: an unchanged script refills the same memory
    readCountedFloats(in, array.list, array.floatsPerElement);
    switchClientArray(array.state, true);
    pointAtList(array);
    return true;
}

std::string outsideMessage(int index, const ClientArray& array) {
    long long count = elementCount(array);
    return "Element " + std::to_string(index) + " is outside " + array.word + " (" +
           std::to_string(count) + (count == 1 ? " element)" : " elements)");
}

bool element(ScriptStream& in) {
    int index = 0;
    if (!(in >> index)) return true;   // no index, no vertex; the runner reports the read
    for (int which : checkOrder) {
        const ClientArray& array = arrays[which];
        if (array.on && (index < 0 || index >= elementCount(array)))
            return refuse(outsideMessage(index, array));
    }
    if (drawingPrimitive()) {
        glArrayElement(index);
        return true;
    }
    for (const ClientArray& array : arrays)
        if (array.on) array.give(&array.list[std::size_t(index) * array.floatsPerElement]);
    return true;
}
}  // namespace

void switchClientArray(GLenum state, bool on) {
    if (drawingPrimitive()) return;
    for (ClientArray& array : arrays) {
        if (array.state != state) continue;
        if (on)
            glEnableClientState(state);
        else
            glDisableClientState(state);
        array.on = on;
    }
}

void resetVertexArrays() {
    for (ClientArray& array : arrays) {
        array.list.clear();
        switchClientArray(array.state, false);
        pointAtList(array);
    }
}

bool clientArraysMatchGl() {
    for (const ClientArray& array : arrays)
        if (array.on != bool(glIsEnabled(array.state))) return false;
    return true;
}

namespace {
const CommandRow rows[] = {
    {"VertexArray", loadArray<3>},   {"ColorArray", loadArray<2>}, {"NormalArray", loadArray<1>},
    {"TexCoordArray", loadArray<0>}, {"Element", element},
};
}
std::span<const CommandRow> vertexArrayCommands() { return rows; }

// Vertex arrays: VertexArray, NormalArray, ColorArray and TexCoordArray keep a list of floats for
// the life of the process and point their client array at it; Element issues one vertex from
// every switched-on array. The switches are mirrored here because Element runs between glBegin
// and glEnd, where the GL may not be asked, and Element refuses an index that any switched-on
// list does not hold. An empty list's array points at a zero element of our own, never at null.
#include "commands/vertex_arrays.h"

#include <string>
#include <vector>

#include "commands/counted_list.h"
#include "commands/primitives.h"
#include "interpreter/command_table.h"
#include "interpreter/message_log.h"

namespace {
using PointerCall = void (*)(const float* first);

struct ClientArray {
    const char* word;          // the script word, also the array's name in messages
    GLenum state;              // the GL's client array
    int floatsPerElement;
    PointerCall pointAt;       // hands the GL the address of the first element
    std::vector<float> list;   // the GL reads from here: refilled only by this array's command
    bool on;                   // the GL's switch, changed only through switchClientArray
};

// The four arrays, in the order Element checks them. Their lists outlive every frame and every
// script file, since the GL keeps pointing into them.
ClientArray arrays[] = {
    {"VertexArray", GL_VERTEX_ARRAY, 3,
     [](const float* p) { glVertexPointer(3, GL_FLOAT, 0, p); }, {}, false},
    {"NormalArray", GL_NORMAL_ARRAY, 3,
     [](const float* p) { glNormalPointer(GL_FLOAT, 0, p); }, {}, false},
    {"ColorArray", GL_COLOR_ARRAY, 3,
     [](const float* p) { glColorPointer(3, GL_FLOAT, 0, p); }, {}, false},
    {"TexCoordArray", GL_TEXTURE_COORD_ARRAY, 2,
     [](const float* p) { glTexCoordPointer(2, GL_FLOAT, 0, p); }, {}, false},
};

// Where an empty list's array points: one readable element of zeros. Element never reads it
// (an empty list holds no index), but the GL is never left with null or a stale address.
const float noElements[3] = {0, 0, 0};

// Whole elements only: a last group cut short by a failed read holds no index.
long long elementCount(const ClientArray& array) {
    return (long long)(array.list.size() / std::size_t(array.floatsPerElement));
}

template <int which>
bool loadArray(ScriptStream& in) {
    ClientArray& array = arrays[which];
    array.list.clear();   // keeps its storage: an unchanged script refills the same memory
    readCountedFloats(in, array.list, array.floatsPerElement);
    switchClientArray(array.state, true);
    array.pointAt(array.list.empty() ? noElements : array.list.data());
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
    for (const ClientArray& array : arrays) {
        if (array.on && (index < 0 || index >= elementCount(array))) {
            logLine(outsideMessage(index, array));
            return false;
        }
    }
    glArrayElement(index);
    countVertex();
    return true;
}
}  // namespace

void switchClientArray(GLenum state, bool on) {
    for (ClientArray& array : arrays) {
        if (array.state != state) continue;
        array.on = on;
        if (on)
            glEnableClientState(state);
        else
            glDisableClientState(state);
    }
}

void resetVertexArrays() {
    for (ClientArray& array : arrays) {
        array.list.clear();
        switchClientArray(array.state, false);
        array.pointAt(noElements);
    }
}

namespace {
const CommandRow rows[] = {
    {"VertexArray", loadArray<0>},   {"ColorArray", loadArray<2>}, {"NormalArray", loadArray<1>},
    {"TexCoordArray", loadArray<3>}, {"Element", element},
};
}
std::span<const CommandRow> vertexArrayCommands() { return rows; }

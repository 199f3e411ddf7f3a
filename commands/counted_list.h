// Counted lists, shared by every command that takes one (knots, control points, vertex arrays):
// an int count, exactly one separator character (whatever it is), then the items. Reading
// stops at the first number that fails to read, and only numbers actually read are kept, so a
// huge or unreadable count can neither allocate nor append anything that is not in the script.
#pragma once

#include <vector>

#include "interpreter/script_stream.h"

// Appends up to count x itemSize floats to list. A count of 0 or less still takes the separator.
inline void readCountedFloats(ScriptStream& in, std::vector<float>& list, int itemSize = 1) {
    int count = 0;
    char separator = 0;
    in >> count >> separator;
    for (long long i = 0; i < static_cast<long long>(count) * itemSize; ++i) {
        float value = 0;
        if (!(in >> value)) return;
        list.push_back(value);
    }
}

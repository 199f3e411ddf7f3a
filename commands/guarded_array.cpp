// Client-array storage as the GL sees it; see guarded_array.h.
#include "commands/guarded_array.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#ifndef CORVANE_GUARDED_ARRAYS

namespace {
const float noElements[3] = {0, 0, 0};   // an empty list's one readable element
}

GuardedArray::~GuardedArray() = default;

const float* GuardedArray::show(const std::vector<float>& list) {
    return list.empty() ? noElements : list.data();
}

#else

GuardedArray::~GuardedArray() {
    if (mapping) munmap(mapping, mappedBytes);
}

// The copy's last float lies just before the guard page; an empty list points at the guard
// page itself, which Element never reads.
const float* GuardedArray::show(const std::vector<float>& list) {
    if (mapping) munmap(mapping, mappedBytes);
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    const std::size_t bytes = list.size() * sizeof(float);
    const std::size_t dataPages = (bytes + page - 1) / page;
    mappedBytes = (dataPages + 1) * page;
    mapping = mmap(nullptr, mappedBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) std::abort();
    char* guard = static_cast<char*>(mapping) + dataPages * page;
    mprotect(guard, page, PROT_NONE);
    if (bytes) std::memcpy(guard - bytes, list.data(), bytes);
    return reinterpret_cast<const float*>(guard - bytes);
}

#endif

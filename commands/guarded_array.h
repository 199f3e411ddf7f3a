// What the GL is pointed at for a script's client array. Normally the list itself, or one zero
// element of our own when the list is empty, so that no pointer is ever null or stale. The
// fuzzer's build (CORVANE_GUARDED_ARRAYS) hands the GL a copy that ends at an inaccessible page
// instead, so that any read past a list faults at once rather than reading neighbouring memory
// that no sanitizer watches (the GL driver is not instrumented).
#pragma once

#include <cstddef>
#include <vector>

class GuardedArray {
public:
    GuardedArray() = default;
    ~GuardedArray();
    GuardedArray(const GuardedArray&) = delete;
    GuardedArray& operator=(const GuardedArray&) = delete;

    // The address to give the GL for list; valid until the next call or destruction.
    const float* show(const std::vector<float>& list);

private:
    void* mapping = nullptr;   // the copy and its guard page, in fuzz builds
    std::size_t mappedBytes = 0;
};

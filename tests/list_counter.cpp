// Counts the display lists a program makes and deletes, for the viewer's soak test. Preloaded
// into the real viewer (LD_PRELOAD), it stands in front of the GL's glGenLists and
// glDeleteLists, hands every call on, and when the process exits writes to the file named by
// CORVANE_LIST_COUNT how many lists were made and how many were never deleted. The viewer
// itself holds no such hook.
#include <GL/gl.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <set>

namespace {
std::set<GLuint> alive;   // lists made and not yet deleted
long made = 0;

template <class Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Destroyed before the set above, so it can still count it.
struct Report {
    ~Report() {
        const char* path = std::getenv("CORVANE_LIST_COUNT");
        if (!path) return;
        if (FILE* out = std::fopen(path, "w")) {
            std::fprintf(out, "made %ld alive %zu\n", made, alive.size());
            std::fclose(out);
        }
    }
} report;
}  // namespace

extern "C" GLuint glGenLists(GLsizei range) {
    static auto real = next<GLuint (*)(GLsizei)>("glGenLists");
    GLuint first = real(range);
    if (first != 0) {
        for (GLsizei i = 0; i < range; ++i) alive.insert(first + GLuint(i));
        made += range;
    }
    return first;
}

extern "C" void glDeleteLists(GLuint list, GLsizei range) {
    static auto real = next<void (*)(GLuint, GLsizei)>("glDeleteLists");
    for (GLsizei i = 0; i < range; ++i) alive.erase(list + GLuint(i));
    real(list, range);
}

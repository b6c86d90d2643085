// Counts the OpenGL draw calls of the process: the program exports its own glDrawElements,
// glDrawArrays and glBegin (it is linked with exported symbols), so the engine's calls land
// here first; each one is counted and passed on to libGL's own function.
#include <GL/gl.h>
#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "bench/BenchSupport.h"

namespace {

std::atomic<uint64_t> drawCalls{0};

// libGL's own definition of a function (the next one after this program in lookup order).
template <typename F>
F nextDefinition(const char* name) {
    void* f = dlsym(RTLD_NEXT, name);
    if (!f) {
        std::fprintf(stderr, "gl_count: libGL has no %s\n", name);
        std::abort();
    }
    return reinterpret_cast<F>(f);
}

}  // namespace

uint64_t bench::glDrawCalls() { return drawCalls.load(); }

extern "C" {

void glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices) {
    using Fn = void (*)(GLenum, GLsizei, GLenum, const void*);
    static const Fn next = nextDefinition<Fn>("glDrawElements");
    ++drawCalls;
    next(mode, count, type, indices);
}

void glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    using Fn = void (*)(GLenum, GLint, GLsizei);
    static const Fn next = nextDefinition<Fn>("glDrawArrays");
    ++drawCalls;
    next(mode, first, count);
}

void glBegin(GLenum mode) {
    using Fn = void (*)(GLenum);
    static const Fn next = nextDefinition<Fn>("glBegin");
    ++drawCalls;
    next(mode);
}

}  // extern "C"

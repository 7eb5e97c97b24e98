// Preloaded into a program under test: refuses the Nth request of a given
// size, as an exhausted heap would, and serves every other request as usual.
//   REFUSE_MALLOC_SIZE  the size of the request to refuse
//   REFUSE_MALLOC_NTH   which request of that size (1 for the first)
#include <cstddef>
#include <cstdlib>

extern "C" void *__libc_malloc(size_t size);

namespace {

long setting(const char *name) {
    const char *text = getenv(name);
    return text ? strtol(text, nullptr, 10) : -1;
}

long requests_seen = 0;

}  // namespace

extern "C" void *malloc(size_t size) {
    static long refused_size = setting("REFUSE_MALLOC_SIZE");
    static long refused_nth = setting("REFUSE_MALLOC_NTH");
    if (static_cast<long>(size) == refused_size && ++requests_seen == refused_nth) return nullptr;
    return __libc_malloc(size);
}

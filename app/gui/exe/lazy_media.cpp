// The first call of a stand-in in lazy_media.S: loads the media libraries (once) and
// finds the real function.

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

struct Slot {
    void* target;
    const char* name;
};

const std::vector<void*>& mediaLibraries() {
    static const std::vector<void*> handles = [] {
        std::vector<void*> out;
        for (const char* soname : {QUORIN_LAZY_MEDIA_LIBS}) {
            void* handle = dlopen(soname, RTLD_LAZY | RTLD_LOCAL);
            if (!handle)
                std::fprintf(stderr, "QuorinVideoConverter: %s\n", dlerror());
            else
                out.push_back(handle);
        }
        return out;
    }();
    return handles;
}

}  // namespace

extern "C" __attribute__((visibility("hidden"))) void* quorin_lazy_media_bind(Slot* slot) {
    for (void* handle : mediaLibraries()) {
        if (void* fn = dlsym(handle, slot->name)) {
            __atomic_store_n(&slot->target, fn, __ATOMIC_RELEASE);
            return fn;
        }
    }
    // As the loader would have refused to start the program without it.
    std::fprintf(stderr, "QuorinVideoConverter: symbol lookup error: %s not found\n", slot->name);
    std::abort();
}

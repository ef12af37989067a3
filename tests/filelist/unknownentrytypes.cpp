// SPDX-License-Identifier: MIT
// Linked into a second build of the folder-walk tests: every folder entry
// read says DT_UNKNOWN, as on file systems that store no entry types, so the
// walk must look at each entry itself. Defined in the test program, these
// come before the C library's own for every caller.

#include <dirent.h>
#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<long> entriesRead{0};

template <typename Entry> Entry* withoutType(Entry* entry) {
    if (entry) {
        entry->d_type = DT_UNKNOWN;
        ++entriesRead;
    }
    return entry;
}

template <typename Function> Function next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

// Tests that passed without reading a single entry through here proved nothing.
struct ReadCheck {
    ~ReadCheck() {
        if (entriesRead == 0) {
            std::fputs("unknownentrytypes: no folder entry was read through the override\n",
                       stderr);
            std::_Exit(1);
        }
    }
} readCheck;

} // namespace

extern "C" dirent* readdir(DIR* folder) {
    static const auto real = next<dirent* (*)(DIR*)>("readdir");
    return withoutType(real(folder));
}

extern "C" dirent64* readdir64(DIR* folder) {
    static const auto real = next<dirent64* (*)(DIR*)>("readdir64");
    return withoutType(real(folder));
}

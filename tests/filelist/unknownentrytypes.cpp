// SPDX-License-Identifier: MIT
// Linked into a second build of the folder-walk tests: every folder entry the
// walk reads says DT_UNKNOWN, as on file systems that store no entry types,
// so the walk must look at each entry itself. Defined in the test program,
// this readdir comes before the C library's own.

#include <dirent.h>
#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<long> entriesRead{0};

// Tests that passed without a single entry read through here proved nothing.
struct ReadCheck {
    ~ReadCheck() {
        if (entriesRead == 0) {
            std::fputs("unknownentrytypes: the walk read no entry through readdir\n", stderr);
            std::_Exit(1);
        }
    }
} readCheck;

} // namespace

extern "C" dirent* readdir(DIR* folder) {
    static const auto next = reinterpret_cast<dirent* (*)(DIR*)>(::dlsym(RTLD_NEXT, "readdir"));
    dirent* entry = next(folder);
    if (entry) {
        entry->d_type = DT_UNKNOWN;
        ++entriesRead;
    }
    return entry;
}

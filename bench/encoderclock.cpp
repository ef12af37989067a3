// SPDX-License-Identifier: MIT
// Stands in for the encoder in bench_conversion's gap measurement: appends
// "s<ns>" to the log named by ENCODERCLOCK_LOG as it starts, runs the real
// encoder named by ENCODERCLOCK_ENCODER with the same arguments, and appends
// "e<ns>" when that ends. Plain C++ and POSIX, so it starts in next to no time.

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

void stamp(char what) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    if (std::FILE* log = std::fopen(std::getenv("ENCODERCLOCK_LOG"), "a")) {
        std::fprintf(log, "%c%lld\n", what, now.tv_sec * 1000000000LL + now.tv_nsec);
        std::fclose(log);
    }
}

} // namespace

int main(int, char** argv) {
    stamp('s');
    const char* encoder = std::getenv("ENCODERCLOCK_ENCODER");
    pid_t child = 0;
    int status = 0;
    argv[0] = const_cast<char*>(encoder);
    if (!encoder || ::posix_spawn(&child, encoder, nullptr, nullptr, argv, environ) != 0 ||
        ::waitpid(child, &status, 0) != child)
        return 127;
    stamp('e');
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

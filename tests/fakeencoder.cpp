// SPDX-License-Identifier: MIT
// Stands in for the encoder in the conversion tests; plain C++ and POSIX.
//
// Like the real one it takes the argument after "-i" as its input and the
// last argument as its output, fails on an input it cannot read, and asks on
// standard input before overwriting an output. Each run appends to the log
// named by FAKEENC_LOG one line "start <pid> <hex argument>..." (argument 0
// included) and, if it ends on its own, one line "end <pid> <code> epipe=<0|1>",
// where epipe tells whether a write to standard error failed with EPIPE.
//
// The input file's lines say what to do, as key=value:
//   sleep=<ms>          write progress to standard error for that long
//   duration=<s>        report an input that long (under a minute), and the
//                       progress lines' time= moving through it while sleeping
//   wait-for=<path>     write progress until the file exists (at most 20 s)
//   stderr=<text>       the last line written to standard error
//   output=no           write no output file
//   trailer-error=<text> after writing, say "Error writing trailer of <output>: <text>"
//   existing=keep-zero  keep an existing output and end with 0, as newer encoders do
//   exit=<n>            exit code (default 0)
//   signal=<n>          end by this signal instead
//   replay=<path>       write that file's lines to standard error instead, as
//                       a recorded run of the real encoder; its last line
//                       "exit=<n>" is the exit code. The output is written
//                       only for exit code 0.
//   replay-changed=<path> replay that file instead when the command is not
//                       the plain one: a filter, or a stream other than 0:0
//   early-output=yes    write the output before the sleep or the wait, as the
//                       real one opens it before encoding
//   seek-<key>=<value>  <key>=<value> instead for a run that seeks (-ss), a
//                       part of a source converted in parts
//
// Called as "ffprobe" it stands in for the probe tool instead: it logs
// "probe <pid> <hex input>", and prints the file named by the input's
// probe=<path> line, or fails as on a file it cannot read. probe-sleep=<ms>
// makes it answer that much later.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <map>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

bool g_epipe = false;

void writeError(const std::string& text) {
    if (::write(STDERR_FILENO, text.data(), text.size()) < 0 && errno == EPIPE)
        g_epipe = true;
}

void appendLog(const std::string& line) {
    const char* log = std::getenv("FAKEENC_LOG");
    if (!log)
        return;
    const int fd = ::open(log, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0)
        return;
    // One write per line, so the lines of concurrent runs never interleave.
    [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
    ::close(fd);
}

std::string hex(const char* text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : std::string(text)) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out.empty() ? std::string("-") : out;
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// Progress on standard error every 50 ms until the time is up or done() holds;
// with a duration, time= reaches it when the time is up.
template <typename Done> void progress(int milliseconds, Done done, double duration = 0) {
    const auto start = std::chrono::steady_clock::now();
    const auto until = start + std::chrono::milliseconds(milliseconds);
    for (int frame = 0; std::chrono::steady_clock::now() < until && !done(); ++frame) {
        std::string line = "frame=" + std::to_string(frame);
        if (duration > 0) {
            const std::chrono::duration<double, std::milli> spent =
                std::chrono::steady_clock::now() - start;
            char time[80];
            std::snprintf(time, sizeof time, " time=00:00:%05.2f bitrate=1.0kbits/s",
                          duration * spent.count() / milliseconds);
            line += time;
        }
        writeError(line + "\r");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

int finish(int code) {
    appendLog("end " + std::to_string(::getpid()) + " " + std::to_string(code) +
              " epipe=" + (g_epipe ? "1" : "0") + "\n");
    return code;
}

std::map<std::string, std::string> directives(std::ifstream& source) {
    std::map<std::string, std::string> say;
    for (std::string directive; std::getline(source, directive);) {
        const auto equals = directive.find('=');
        if (equals != std::string::npos)
            say[directive.substr(0, equals)] = directive.substr(equals + 1);
    }
    return say;
}

int probe(const std::string& input) {
    appendLog("probe " + std::to_string(::getpid()) + " " + hex(input.c_str()) + "\n");
    std::ifstream source(input);
    std::map<std::string, std::string> say = directives(source);
    if (say.count("probe-sleep"))
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::atoi(say["probe-sleep"].c_str())));
    std::ifstream answer(say["probe"]);
    if (!source.is_open() || !answer) {
        writeError(input + ": Invalid data found when processing input\n");
        return 1;
    }
    std::cout << answer.rdbuf();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string self = argv[0];
    if (self.size() >= 7 && self.compare(self.size() - 7, 7, "ffprobe") == 0)
        return probe(argc > 1 ? argv[argc - 1] : "");

    std::string line = "start " + std::to_string(::getpid());
    for (int i = 0; i < argc; ++i)
        line += " " + hex(argv[i]);
    appendLog(line + "\n");

    std::string input;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-i") == 0)
            input = argv[i + 1];
    }
    if (input.empty() || argc < 4) {
        writeError("usage: ffmpeg -i input ... output\n");
        return finish(2);
    }
    const std::string output = argv[argc - 1];

    std::ifstream source(input);
    if (!source) {
        writeError(input + ": No such file or directory\n");
        return finish(1);
    }
    std::map<std::string, std::string> say = directives(source);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-ss") != 0)
            continue;
        for (const auto& [key, value] : std::map(say)) {
            if (key.rfind("seek-", 0) == 0)
                say[key.substr(5)] = value;
        }
    }

    if (exists(output)) {
        if (say["existing"] == "keep-zero") {
            writeError("File '" + output + "' already exists. Keeping it.\n");
            return finish(0);
        }
        writeError("File '" + output + "' already exists. Overwrite? [y/N] ");
        // An open pipe that never answers would hang the real encoder; end
        // after a while so that a test sees it instead of waiting forever.
        pollfd in{STDIN_FILENO, POLLIN, 0};
        char answer = 0;
        if (::poll(&in, 1, 5000) <= 0) {
            writeError("no answer on standard input\n");
            return finish(3);
        }
        if (::read(STDIN_FILENO, &answer, 1) != 1 || (answer != 'y' && answer != 'Y')) {
            writeError("Not overwriting - exiting\n");
            return finish(1);
        }
    }

    if (say.count("duration"))
        writeError("  Duration: 00:00:" + say["duration"] + ", start: 0.000000, bitrate: 1 kb/s\n");
    if (say["early-output"] == "yes")
        std::ofstream(output, std::ios::binary) << "begun\n";
    if (say.count("sleep"))
        progress(
            std::atoi(say["sleep"].c_str()), [] { return false; },
            std::atof(say["duration"].c_str()));
    if (say.count("wait-for")) {
        const std::string release = say["wait-for"];
        progress(20000, [&release] { return exists(release); });
        // The program that started us may be gone by now: show whether it is.
        writeError("released\n");
    }

    bool plain = true;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-vf") == 0 ||
            (std::strcmp(argv[i], "-map") == 0 && std::strcmp(argv[i + 1], "0:0") != 0))
            plain = false;
    }
    if (say.count("replay")) {
        std::ifstream recorded(
            say[!plain && say.count("replay-changed") ? "replay-changed" : "replay"]);
        int code = 0;
        for (std::string text; std::getline(recorded, text);) {
            if (text.rfind("exit=", 0) == 0)
                code = std::atoi(text.c_str() + 5);
            else
                writeError(text + "\n");
        }
        if (code == 0)
            std::ofstream(output, std::ios::binary | std::ios::trunc)
                << "fake wmv of " << input << "\n";
        return finish(recorded.eof() ? code : 4);
    }

    if (say["output"] != "no") {
        std::ofstream written(output, std::ios::binary | std::ios::trunc);
        written << "fake wmv of " << input << "\n";
        if (!written)
            writeError("cannot write " + output + "\n");
    }
    if (say.count("trailer-error"))
        writeError("Error writing trailer of " + output + ": " + say["trailer-error"] + "\n");
    if (say.count("stderr"))
        writeError(say["stderr"] + "\n");
    if (say.count("signal")) {
        finish(128 + std::atoi(say["signal"].c_str()));
        std::raise(std::atoi(say["signal"].c_str()));
    }
    return finish(std::atoi(say["exit"].c_str()));
}

// SPDX-License-Identifier: MIT
#pragma once

#include "filelist/leftoutnames.h"

#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <optional>

// What the program's command line asks for: either to print a text and end
// at once, without a window, or to open the window with paths to add.
struct CommandLine {
    std::optional<int> exitCode; // set when the program is to end at once
    QString output;              // for standard output
    QString errors;              // for standard error
    QStringList paths;           // in the command line's order, relative ones made absolute
    LeftOutNames leftOut;        // the paths whose bytes are not valid UTF-8, all as files
    int encoders = 1;            // how many files are converted at once
    bool convert = false;        // converted without a window, then the program ends
    bool json = false;           // with convert: each file's outcome as JSON on standard output
};

// Reads the arguments as the system passed them, the program's own path
// first. Relative paths are taken against currentFolder; nothing else of a
// path's text changes, and nothing on disk is looked at. "--jobs auto" reads
// the processor count and the available memory.
CommandLine parseCommandLine(const QByteArrayList& arguments, const QString& currentFolder);

// SPDX-License-Identifier: MIT
#pragma once

#include "convert/sourcefacts.h"

#include <QString>
#include <QStringList>
#include <QStringView>

// The encoder's file name on this platform.
QString encoderFileName();
// The probe tool's, which reads what a source holds.
QString probeFileName();

// Where a tool was found, or where it was looked for in vain.
struct EncoderLookup {
    QString program;         // full path; empty when not found
    QString fileName;        // the tool's file name
    QString folderFile;      // the program folder's tool, looked at first
    QStringList searchPaths; // looked in next; empty means the PATH variable

    bool found() const { return !program.isEmpty(); }
    // "looked for <folderFile> and for <name> on PATH", for messages.
    QString whereLooked() const;
};

// The program folder's tool wins; without one there, the one found on the
// search paths (the PATH variable when none are given).
EncoderLookup findTool(const QString& programFolder, const QString& fileName,
                       const QStringList& searchPaths = {});
inline EncoderLookup findEncoder(const QString& programFolder,
                                 const QStringList& searchPaths = {}) {
    return findTool(programFolder, encoderFileName(), searchPaths);
}

// The encoder's arguments after its own path: one video stream of the source,
// no audio, wmv2 video at 5872 kbit/s and 25 frames per second.
//
// Without facts the stream is the source's first one. With them it is the
// first real video, and a filter is added only for what the encoder cannot
// take as it is: an odd width, interlaced fields, a high dynamic range. Any
// filter changes which source frames are kept, so a source that needs none
// keeps the command it always had.
QStringList encoderArguments(const QString& source, const QString& output,
                             const SourceFacts& facts = {});

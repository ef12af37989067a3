// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// The encoder's file name on this platform.
QString encoderFileName();

// Where the encoder was found, or where it was looked for in vain.
struct EncoderLookup {
    QString program;         // full path; empty when not found
    QString folderFile;      // the program folder's encoder, looked at first
    QStringList searchPaths; // looked in next; empty means the PATH variable

    bool found() const { return !program.isEmpty(); }
    // "looked for <folderFile> and for <name> on PATH", for messages.
    QString whereLooked() const;
};

// The program folder's encoder wins; without one there, the one found on the
// search paths (the PATH variable when none are given).
EncoderLookup findEncoder(const QString& programFolder, const QStringList& searchPaths = {});

// The encoder's arguments after its own path: only the first stream of the
// source, no audio, wmv2 video at 5872 kbit/s and 25 frames per second.
QStringList encoderArguments(const QString& source, const QString& output);

// True when a line of the encoder's standard error shows that writing the
// output failed, so that the output is incomplete whatever the exit code says.
bool isOutputError(QStringView line, QStringView output);

// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The encoder's file name on this platform.
QString encoderFileName();
// The probe tool's, which reads what a source holds.
QString probeFileName();

// Where a tool was found, or where it was looked for in vain.
struct ToolLookup {
    QString program;    // full path; empty when not found
    QString fileName;   // the tool's file name
    QString folderFile; // the program folder's tool, looked at first

    bool found() const { return !program.isEmpty(); }
};

// The program folder's tool wins; without one there, the one on PATH.
ToolLookup findTool(const QString& programFolder, const QString& fileName);

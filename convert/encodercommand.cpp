// SPDX-License-Identifier: MIT
#include "convert/encodercommand.h"

#include "common/windowops.h"

#include <QFileInfo>
#include <QStandardPaths>

QString encoderFileName() {
#ifdef Q_OS_WIN
    return QStringLiteral("ffmpeg.exe");
#else
    return QStringLiteral("ffmpeg");
#endif
}

QString probeFileName() {
#ifdef Q_OS_WIN
    return QStringLiteral("ffprobe.exe");
#else
    return QStringLiteral("ffprobe");
#endif
}

ToolLookup findTool(const QString& programFolder, const QString& fileName) {
    ToolLookup lookup;
    lookup.fileName = fileName;
    if (!programFolder.isEmpty()) {
        lookup.folderFile = programFolderFile(programFolder, fileName);
        // Present is enough: an encoder there that cannot run is reported as
        // such rather than silently replaced by another one.
        if (QFileInfo(lookup.folderFile).isFile()) {
            lookup.program = lookup.folderFile;
            return lookup;
        }
    }
    lookup.program = QStandardPaths::findExecutable(fileName);
    return lookup;
}

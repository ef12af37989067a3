// SPDX-License-Identifier: MIT
#include "convert/encodercommand.h"

#include "common/windowops.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

QString encoderFileName() {
#ifdef Q_OS_WIN
    return QStringLiteral("ffmpeg.exe");
#else
    return QStringLiteral("ffmpeg");
#endif
}

QString EncoderLookup::whereLooked() const {
    const QString onPath = searchPaths.isEmpty()
                               ? QCoreApplication::translate("EncoderLookup", "on PATH")
                               : QCoreApplication::translate("EncoderLookup", "in ") +
                                     searchPaths.join(QStringLiteral(", "));
    if (folderFile.isEmpty())
        return QCoreApplication::translate("EncoderLookup", "looked for %1 %2")
            .arg(encoderFileName(), onPath);
    return QCoreApplication::translate("EncoderLookup", "looked for %1 and for %2 %3")
        .arg(folderFile, encoderFileName(), onPath);
}

EncoderLookup findEncoder(const QString& programFolder, const QStringList& searchPaths) {
    EncoderLookup lookup;
    lookup.searchPaths = searchPaths;
    if (!programFolder.isEmpty()) {
        lookup.folderFile = programFolderFile(programFolder, encoderFileName());
        // Present is enough: an encoder there that cannot run is reported as
        // such rather than silently replaced by another one.
        if (QFileInfo(lookup.folderFile).isFile()) {
            lookup.program = lookup.folderFile;
            return lookup;
        }
    }
    lookup.program = QStandardPaths::findExecutable(encoderFileName(), searchPaths);
    return lookup;
}

QStringList encoderArguments(const QString& source, const QString& output) {
    return {QStringLiteral("-i"),    source,
            QStringLiteral("-map"),  QStringLiteral("0:0"),
            QStringLiteral("-an"),   QStringLiteral("-vcodec"),
            QStringLiteral("wmv2"),  QStringLiteral("-b"),
            QStringLiteral("5872k"), QStringLiteral("-r"),
            QStringLiteral("25.00"), output};
}

bool isOutputError(QStringView line, QStringView output) {
    // The encoder may end with 0 after a failed write, but it always says so:
    // "Error writing trailer of <output>: ...", "Error closing file <output>: ...",
    // or an error text that only writing can cause, after the failing call.
    if (line.startsWith(QLatin1String("Error ")) && !output.isEmpty() && line.contains(output))
        return true;
    for (const QLatin1String writeError :
         {QLatin1String(": No space left on device"), QLatin1String(": Disk quota exceeded"),
          QLatin1String(": File too large")}) {
        if (line.endsWith(writeError))
            return true;
    }
    return false;
}

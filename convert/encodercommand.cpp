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

QString EncoderLookup::whereLooked() const {
    const QString onPath = searchPaths.isEmpty()
                               ? QStringLiteral("on PATH")
                               : QStringLiteral("in ") + searchPaths.join(QStringLiteral(", "));
    if (folderFile.isEmpty())
        return QStringLiteral("looked for %1 %2").arg(encoderFileName(), onPath);
    return QStringLiteral("looked for %1 and for %2 %3").arg(folderFile, encoderFileName(), onPath);
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

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

QString probeFileName() {
#ifdef Q_OS_WIN
    return QStringLiteral("ffprobe.exe");
#else
    return QStringLiteral("ffprobe");
#endif
}

QString EncoderLookup::whereLooked() const {
    const QString onPath = searchPaths.isEmpty()
                               ? QCoreApplication::translate("EncoderLookup", "on PATH")
                               : QCoreApplication::translate("EncoderLookup", "in ") +
                                     searchPaths.join(QStringLiteral(", "));
    if (folderFile.isEmpty())
        return QCoreApplication::translate("EncoderLookup", "looked for %1 %2")
            .arg(fileName, onPath);
    return QCoreApplication::translate("EncoderLookup", "looked for %1 and for %2 %3")
        .arg(folderFile, fileName, onPath);
}

EncoderLookup findTool(const QString& programFolder, const QString& fileName,
                       const QStringList& searchPaths) {
    EncoderLookup lookup;
    lookup.fileName = fileName;
    lookup.searchPaths = searchPaths;
    if (!programFolder.isEmpty()) {
        lookup.folderFile = programFolderFile(programFolder, fileName);
        // Present is enough: an encoder there that cannot run is reported as
        // such rather than silently replaced by another one.
        if (QFileInfo(lookup.folderFile).isFile()) {
            lookup.program = lookup.folderFile;
            return lookup;
        }
    }
    lookup.program = QStandardPaths::findExecutable(fileName, searchPaths);
    return lookup;
}

namespace {

// High dynamic range to the BT.709 range the encoder's output is shown in:
// to linear light in BT.709 primaries, highlights rolled off into range, and
// back. The input's colours are named, since a stream may tag only its
// transfer, and zscale then finds no way between the colour spaces.
QString toneMapFrom(QLatin1String transfer) {
    return QStringLiteral("zscale=tin=%1:pin=bt2020:min=bt2020nc:t=linear:p=bt709:npl=100,"
                          "format=gbrpf32le,tonemap=tonemap=mobius:desat=0,"
                          "zscale=t=bt709:m=bt709:r=tv,format=yuv420p")
        .arg(transfer);
}

// The filters a source needs before the encoder can take it, in the order
// they apply: fields are woven into frames before anything else touches
// them, and the width is made even last, on the picture as it will be shown.
QStringList filtersFor(const SourceFacts& facts) {
    QStringList filters;
    if (facts.interlaced)
        filters << QStringLiteral("yadif=deint=interlaced");
    switch (facts.transfer) {
    case SourceFacts::Transfer::Standard:
        break;
    case SourceFacts::Transfer::Pq:
        filters << toneMapFrom(QLatin1String("smpte2084"));
        break;
    case SourceFacts::Transfer::Hlg:
        filters << toneMapFrom(QLatin1String("arib-std-b67"));
        break;
    }
    // The wmv2 encoder takes only even widths; an odd height is fine.
    if (facts.width % 2 != 0)
        filters << QStringLiteral("scale=w='iw+mod(iw,2)':h=ih");
    return filters;
}

} // namespace

QStringList encoderArguments(const QString& source, const QString& output,
                             const SourceFacts& facts) {
    QStringList arguments{QStringLiteral("-i"), source, QStringLiteral("-map"),
                          QStringLiteral("0:%1").arg(facts.known ? facts.videoStream : 0),
                          QStringLiteral("-an")};
    if (const QStringList filters = filtersFor(facts); !filters.isEmpty())
        arguments << QStringLiteral("-vf") << filters.join(u',');
    arguments << QStringLiteral("-vcodec") << QStringLiteral("wmv2") << QStringLiteral("-b")
              << QStringLiteral("5872k") << QStringLiteral("-r") << QStringLiteral("25.00")
              << output;
    return arguments;
}

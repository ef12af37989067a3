// SPDX-License-Identifier: MIT
#include "filelist/dialogselection.h"

#include <QDir>

namespace {

QChar separator() {
    return QDir::separator();
}

// "//server/share" and the like: two separators, then a name.
bool isNetworkFolder(const QString& folder) {
    const QChar sep = separator();
    return folder.size() > 2 && folder.at(0) == sep && folder.at(1) == sep && folder.at(2) != sep;
}

// One pass, left to right, non-overlapping: three separators become two.
QString collapseDoubled(QString text) {
    const QChar sep = separator();
    return text.replace(QString(2, sep), QString(sep));
}

} // namespace

QStringList splitDialogSelection(const QString& result) {
    if (result.isEmpty())
        return {};
    const QStringList pieces = result.split(QChar(u'\0'));
    if (pieces.size() == 1)
        return pieces;

    const QString& folder = pieces.constFirst();
    const bool network = isNetworkFolder(folder);
    QStringList entries;
    entries.reserve(pieces.size() - 1);
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const QString joined = folder + separator() + pieces.at(i);
        // The leading pair of a network folder is part of its name, not a doubled join.
        entries << (network ? joined.left(2) + collapseDoubled(joined.mid(2))
                            : collapseDoubled(joined));
    }
    return entries;
}

QString dialogResultText(const QStringList& chosenPaths) {
    if (chosenPaths.size() <= 1)
        return chosenPaths.isEmpty() ? QString()
                                     : QDir::toNativeSeparators(chosenPaths.constFirst());

    // Toolkit dialogs answer with absolute paths; anything else is taken
    // from the working folder, so that a shared folder always exists.
    QStringList paths = chosenPaths;
    for (QString& path : paths) {
        if (QDir::isRelativePath(path))
            path = QDir::current().absoluteFilePath(path);
        path = QDir::toNativeSeparators(path);
    }

    // The folder is what all paths share up to a separator; a name typed with
    // a folder part of its own keeps that part.
    const QChar sep = separator();
    QString common = paths.constFirst();
    common.truncate(common.lastIndexOf(sep) + 1);
    for (const QString& path : paths) {
        while (!common.isEmpty() && !path.startsWith(common)) {
            common.chop(1);
            common.truncate(common.lastIndexOf(sep) + 1);
        }
    }
    QString folder = common;
    if (folder.size() > 1)
        folder.chop(1); // the root keeps its separator
    QStringList pieces{folder};
    for (const QString& path : paths)
        pieces << path.mid(common.size());
    return pieces.join(QChar(u'\0'));
}

// SPDX-License-Identifier: MIT
#include "convert/outputnaming.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// The path without the extension of its file name.
QString stripExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    qsizetype separator = path.lastIndexOf(QLatin1Char('/'));
#ifdef Q_OS_WIN
    separator = std::max(separator, path.lastIndexOf(QLatin1Char('\\')));
#endif
    return dot <= separator ? path : path.left(dot);
}

} // namespace

QString outputPathFor(const QString& source) {
    if (source.isEmpty())
        return {};
    return stripExtension(source) + QStringLiteral(".wmv");
}

bool isSameFile(const QString& first, const QString& second) {
    if (first == second)
        return true;
    if (first.isEmpty() || second.isEmpty())
        return false;
    const QFileInfo a(first);
    const QFileInfo b(second);
    if (a.exists() && b.exists()) {
#ifdef Q_OS_UNIX
        // Device and inode see through links, and through letter case on a
        // file system that ignores it, where both names reach one file.
        struct stat sa {};
        struct stat sb {};
        if (::stat(QFile::encodeName(first).constData(), &sa) == 0 &&
            ::stat(QFile::encodeName(second).constData(), &sb) == 0)
            return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
#endif
        const QString canonical = a.canonicalFilePath();
        if (!canonical.isEmpty() && canonical == b.canonicalFilePath())
            return true;
    }
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    constexpr Qt::CaseSensitivity letterCase = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity letterCase = Qt::CaseSensitive;
#endif
    return QString::compare(QDir::cleanPath(a.absoluteFilePath()),
                            QDir::cleanPath(b.absoluteFilePath()), letterCase) == 0;
}

#pragma once

// Builds small folder trees for the folder walk tests. A layout line is a path
// relative to the root: "a/b/" makes a folder, "a/x.mkv" a file (its folders
// too), "name -> target" a symbolic link to target.

#include <QDir>
#include <QFile>
#include <QStringList>

#include <unistd.h>

inline bool makeTree(const QString& root, const QStringList& layout) {
    const QDir base(root);
    for (const QString& line : layout) {
        const qsizetype arrow = line.indexOf(QStringLiteral(" -> "));
        if (arrow >= 0) {
            const QString link = base.filePath(line.left(arrow));
            // The target is stored as written, relative ones included.
            if (!base.mkpath(QFileInfo(link).path()) ||
                ::symlink(QFile::encodeName(line.mid(arrow + 4)).constData(),
                          QFile::encodeName(link).constData()) != 0)
                return false;
        } else if (line.endsWith(QLatin1Char('/'))) {
            if (!base.mkpath(line))
                return false;
        } else {
            const QString file = base.filePath(line);
            QFile out(file);
            if (!base.mkpath(QFileInfo(file).path()) || !out.open(QIODevice::WriteOnly))
                return false;
        }
    }
    return true;
}

// Each text with "<root>" put in front, the way the walk joins folder and name.
inline QStringList underRoot(const QString& root, const QStringList& relative) {
    QStringList texts;
    for (const QString& path : relative)
        texts << root + QLatin1Char('/') + path;
    return texts;
}

// SPDX-License-Identifier: MIT
#pragma once

// Builds small folder trees for the folder walk tests. A layout line is a path
// relative to the root: "a/b/" makes a folder, "a/x.mkv" a file (its folders
// too), "name -> target" a symbolic link to target.

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
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

// The same layout in the system's own bytes, for names that are not valid
// UTF-8 and so have no exact text form. Remove such a tree with
// removeByteTree: Qt's own removal does not see those names.
inline bool makeByteTree(const QString& root, const QByteArrayList& layout) {
    const QByteArray base = QFile::encodeName(root) + '/';
    for (const QByteArray& line : layout) {
        const qsizetype arrow = line.indexOf(" -> ");
        const QByteArray path = base + (arrow >= 0 ? line.left(arrow) : line);
        for (qsizetype slash = path.indexOf('/', base.size()); slash >= 0;
             slash = path.indexOf('/', slash + 1)) {
            if (::mkdir(path.left(slash).constData(), 0755) != 0 && errno != EEXIST)
                return false;
        }
        if (arrow >= 0) {
            if (::symlink(line.mid(arrow + 4).constData(), path.constData()) != 0)
                return false;
        } else if (!path.endsWith('/')) {
            const int file = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
            if (file < 0)
                return false;
            ::close(file);
        }
    }
    return true;
}

inline bool removeByteTree(const QString& root) {
    const auto removeOne = [](const char* path, const struct stat*, int, struct FTW*) {
        return ::remove(path);
    };
    return ::nftw(QFile::encodeName(root).constData(), removeOne, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

// Each text with "<root>" put in front, the way the walk joins folder and name.
inline QStringList underRoot(const QString& root, const QStringList& relative) {
    QStringList texts;
    for (const QString& path : relative)
        texts << root + QLatin1Char('/') + path;
    return texts;
}

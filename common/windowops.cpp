// SPDX-License-Identifier: MIT
#include "common/windowops.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

QPoint centeredPosition(QSize screen, QSize outerWindow) {
    // Exact halves, then towards minus infinity so that odd differences
    // are handled alike on both sides of zero.
    const double left = (double(screen.width()) - double(outerWindow.width())) / 2.0;
    const double top = (double(screen.height()) - double(outerWindow.height())) / 2.0;
    return QPoint(int(std::floor(left)), int(std::floor(top)));
}

int referenceScreenRow(int screenRow, int clientTop, QSize client) {
    return screenRow - clientTop + centeredPosition(ReferenceScreen, client).y();
}

bool fileExists(const QString& path) noexcept {
    try {
        if (path.isEmpty() || path.contains(QChar(u'\0')))
            return false;
        const QFileInfo info(path);
        return info.exists() && info.lastModified().isValid();
    } catch (...) {
        return false;
    }
}

QString programFolderFile(const QString& programFolder, const QString& fileName) {
    // QDir::filePath does not double the separator when the folder is the root.
    return QDir(programFolder).filePath(fileName);
}

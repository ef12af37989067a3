// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

// Top-left corner that centres a window of the given outer (framed) size on a
// screen of the given size. Not clamped: a window larger than the screen gets
// a negative position.
QPoint centeredPosition(QSize screen, QSize outerWindow);

// True when the file system reports a time of last change for the path.
// Never throws; any failure of the query means false.
bool fileExists(const QString& path) noexcept;

// The folder the program file lives in, with a file name joined to it.
QString programFolderFile(const QString& programFolder, const QString& fileName);

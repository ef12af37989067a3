// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

// Top-left corner that centres a window of the given outer (framed) size on a
// screen of the given size. Not clamped: a window larger than the screen gets
// a negative position.
QPoint centeredPosition(QSize screen, QSize outerWindow);

// The screen the list's scrolling rows were laid out on, with the window
// centred on it and undecorated.
inline constexpr QSize ReferenceScreen{1024, 768};

// The row a point at screenRow would have on the reference screen, were the
// window's client area (its top edge on the screen, and its size) centred
// there. Rows compared this way keep their distance from every control in
// the window, wherever the window stands, whatever the screen, and whatever
// title bar a window manager puts above the client area.
int referenceScreenRow(int screenRow, int clientTop, QSize client);

// True when the file system reports a time of last change for the path.
// Never throws; any failure of the query means false.
bool fileExists(const QString& path) noexcept;

// The folder the program file lives in, with a file name joined to it.
QString programFolderFile(const QString& programFolder, const QString& fileName);

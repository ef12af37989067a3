// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// What a walk or a drop could not add. Mostly names whose bytes are not valid
// UTF-8: the encoder takes its arguments as UTF-8 text, so such a path could
// never reach it. The names are shown with U+FFFD in place of the bad bytes.
// Apart from them, the folders a walk could not read at all.
struct LeftOutNames {
    QStringList files;
    QStringList folders; // not entered, so nothing below them is listed; each ends in a separator
    QStringList unreadable; // folders the system would not list; each ends in a separator

    bool isEmpty() const { return files.isEmpty() && folders.isEmpty() && unreadable.isEmpty(); }
};

// The text of a name or path as the system stores it; nothing when its bytes
// are not valid UTF-8.
std::optional<QString> utf8Text(QByteArrayView bytes);

// SPDX-License-Identifier: MIT
#pragma once

#include "filelist/leftoutnames.h"

#include <QStringList>
#include <Qt>

#include <optional>

class QMimeData;

// What the list takes from a drag: local files and folders, as a file manager
// offers them (text/uri-list with file URLs).

struct DroppedFiles {
    QStringList paths;    // in the drag's order
    LeftOutNames leftOut; // the paths whose bytes are not valid UTF-8, all as files
};

// The local paths of the drag, in its order, unchanged; nothing when the drag
// carries no paths or anything that is not a file on this machine. A file
// address may name this machine as its host: none, "localhost" or its name.
std::optional<DroppedFiles> droppedFiles(const QMimeData* data);

// The action the list reports back for a drop: a copy, else a link. Never a
// move, which would tell the source to delete its files; Qt::IgnoreAction when
// the source allows neither.
Qt::DropAction dropActionFor(Qt::DropActions possible);

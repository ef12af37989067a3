#pragma once

#include <QStringList>
#include <Qt>

#include <optional>

class QMimeData;

// What the list takes from a drag: local files and folders, as a file manager
// offers them (text/uri-list with file URLs).

// The local paths of the drag, in its order, unchanged; nothing when the drag
// carries no paths or anything that is not a local file.
std::optional<QStringList> droppedFiles(const QMimeData* data);

// The action the list reports back for a drop: a copy, else a link. Never a
// move, which would tell the source to delete its files; Qt::IgnoreAction when
// the source allows neither.
Qt::DropAction dropActionFor(Qt::DropActions possible);

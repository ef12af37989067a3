#pragma once

#include "filelist/filelistview.h"

#include <QStringList>

// Every entry of the list, in order.
inline QStringList texts(const FileListView& view) {
    QStringList all;
    for (int position = 1; position <= view.count(); ++position)
        all << view.textAt(position);
    return all;
}

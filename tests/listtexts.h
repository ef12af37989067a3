// SPDX-License-Identifier: MIT
#pragma once

#include "filelist/filelistmodel.h"

#include <QStringList>

// Every entry of the list, in order.
inline QStringList texts(const FileListModel& list) {
    QStringList all;
    for (int position = 1; position <= list.count(); ++position)
        all << list.textAt(list.index(position - 1));
    return all;
}

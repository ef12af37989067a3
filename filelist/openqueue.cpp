// SPDX-License-Identifier: MIT
#include "filelist/openqueue.h"

#include "filelist/filelistmodel.h"
#include "filelist/folderwalkjob.h"

#include <QDir>
#include <QFileInfo>

OpenQueue::OpenQueue(FileListModel& list, FolderWalkJob& walk, QObject* parent)
    : QObject(parent), m_list(list), m_walk(walk) {
    connect(&m_walk, &FolderWalkJob::finished, this, &OpenQueue::openWaiting);
}

void OpenQueue::open(const QStringList& paths) {
    m_waiting += paths;
    openWaiting();
}

void OpenQueue::openWaiting() {
    while (!m_waiting.isEmpty() && !m_walk.running()) {
        const QString path = m_waiting.takeFirst();
        // Cleaned as the folder dialog names a folder, so "." or a trailing
        // separator does not show in every entry found.
        if (QFileInfo(path).isDir())
            m_walk.start(QDir::cleanPath(path));
        else
            m_list.appendEntry(path);
    }
    if (m_waiting.isEmpty() && !m_walk.running())
        Q_EMIT opened();
}

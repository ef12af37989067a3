// SPDX-License-Identifier: MIT
#include "filelist/folderwalkjob.h"

#include "filelist/filelistmodel.h"

#include <QTimer>

#include <mutex>
#include <thread>
#include <utility>

// What one walk's thread shares with the job. The thread hands its find over
// only while the job lives, and the job's end never waits for the thread.
struct FolderWalkJob::Worker {
    std::mutex mutex;
    FolderWalkJob* job = nullptr; // null once the job is gone
    std::atomic<bool> stop{false};
};

FolderWalkJob::FolderWalkJob(FileListModel& list, QObject* parent, Walk walk)
    : QObject(parent), m_list(list), m_walk(std::move(walk)) {
    // The find's place stays where it was when the entry it follows goes.
    connect(&m_list, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                if (m_lastAppended.isValid() && m_lastAppended.row() >= first &&
                    m_lastAppended.row() <= last)
                    m_lastAppended = m_list.index(first - 1);
            });
}

FolderWalkJob::~FolderWalkJob() {
    if (!m_worker)
        return;
    m_worker->stop.store(true, std::memory_order_relaxed);
    const std::lock_guard lock(m_worker->mutex);
    m_worker->job = nullptr;
}

bool FolderWalkJob::start(const QString& chosenFolder) {
    if (m_running)
        return false;
    setRunning(true);

    m_worker = std::make_shared<Worker>();
    m_worker->job = this;
    // Detached: the thread keeps what it shares with the job alive itself.
    std::thread([worker = m_worker, walk = m_walk, chosenFolder] {
        FolderWalkResult found = walk(chosenFolder, &worker->stop);
        const std::lock_guard lock(worker->mutex);
        // Posted to the job: it is dropped unread if the job goes before it runs.
        if (FolderWalkJob* job = worker->job)
            QMetaObject::invokeMethod(
                job, [job, found = std::move(found)] { job->walked(found); }, Qt::QueuedConnection);
    }).detach();
    return true;
}

void FolderWalkJob::walked(const FolderWalkResult& found) {
    m_found = found.entries;
    m_leftOut = found.leftOut;
    m_appended = 0;
    m_lastAppended = m_list.index(m_list.count() - 1);
    appendChunk();
}

void FolderWalkJob::appendChunk() {
    const QStringList chunk = m_found.mid(m_appended, ChunkSize);
    const int row = m_lastAppended.isValid() ? m_lastAppended.row() + 1 : 0;
    m_list.insertEntries(row + 1, chunk);
    if (!chunk.isEmpty())
        m_lastAppended = m_list.index(row + int(chunk.size()) - 1);
    m_appended += chunk.size();
    if (m_appended < m_found.size()) {
        QTimer::singleShot(0, this, &FolderWalkJob::appendChunk);
        return;
    }
    const int added = int(m_found.size());
    m_found.clear();
    m_lastAppended = QPersistentModelIndex();
    setRunning(false);
    Q_EMIT finished(added, std::exchange(m_leftOut, {}));
}

void FolderWalkJob::setRunning(bool running) {
    m_running = running;
    Q_EMIT runningChanged(running);
}

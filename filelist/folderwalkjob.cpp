#include "filelist/folderwalkjob.h"

#include "common/pointerrules.h"
#include "filelist/filelistmodel.h"
#include "filelist/folderwalk.h"

#include <QThread>
#include <QTimer>

FolderWalkJob::FolderWalkJob(FileListModel& list, PointerRules& pointer, QObject* parent)
    : QObject(parent), m_list(list), m_pointer(pointer) {
    connect(
        &m_list, &QAbstractItemModel::rowsRemoved, this,
        [this](const QModelIndex&, int first, int last) { entriesRemoved(first + 1, last + 1); });
}

FolderWalkJob::~FolderWalkJob() {
    if (m_worker) {
        m_stop.store(true, std::memory_order_relaxed);
        m_worker->wait();
    }
}

bool FolderWalkJob::start(const QString& chosenFolder) {
    if (m_running)
        return false;
    m_running = true;
    m_pointer.setCode(PointerCode::Hourglass);

    if (m_worker)
        m_worker->wait(); // the last walk's thread has long handed over its result
    m_worker.reset(QThread::create([this, chosenFolder] {
        QStringList found = walkFolder(chosenFolder, &m_stop);
        // Posted to this object: it is dropped unread if the job is gone by then.
        QMetaObject::invokeMethod(
            this, [this, found = std::move(found)] { walked(found); }, Qt::QueuedConnection);
    }));
    m_worker->start();
    return true;
}

void FolderWalkJob::walked(const QStringList& found) {
    m_found = found;
    m_appended = 0;
    m_insertAt = m_list.count() + 1;
    appendChunk();
}

void FolderWalkJob::appendChunk() {
    const QStringList chunk = m_found.mid(m_appended, ChunkSize);
    m_list.insertEntries(m_insertAt, chunk);
    m_appended += chunk.size();
    m_insertAt += int(chunk.size());
    if (m_appended < m_found.size()) {
        QTimer::singleShot(0, this, &FolderWalkJob::appendChunk);
        return;
    }
    const int added = int(m_found.size());
    m_found.clear();
    m_insertAt = 0;
    m_running = false;
    m_pointer.setCode(PointerCode::Default);
    Q_EMIT finished(added);
}

void FolderWalkJob::entriesRemoved(int firstPosition, int lastPosition) {
    // Entries removed ahead of the next chunk's place move that place up.
    if (m_insertAt > firstPosition)
        m_insertAt -= std::min(lastPosition, m_insertAt - 1) - firstPosition + 1;
}

#include "filelist/folderscan.h"

#include "app/pointerrules.h"
#include "filelist/addfolder.h"
#include "filelist/filelist.h"

#include <QThread>

FolderScan::FolderScan(FileList& list, PointerRules& pointer, QObject* parent)
    : QObject(parent), m_list(list), m_pointer(pointer) {}

FolderScan::~FolderScan() {
    if (m_worker) {
        m_stop.store(true, std::memory_order_relaxed);
        m_worker->wait();
    }
}

bool FolderScan::start(const QString& chosenFolder) {
    if (m_running)
        return false;
    m_running = true;
    m_pointer.setCode(PointerCode::Hourglass);

    m_found.clear();
    m_worker.reset(QThread::create(
        [this, chosenFolder] { m_found = AddFolder::ScanFolder(chosenFolder, &m_stop); }));
    // Emitted on the worker, delivered here through the event queue.
    connect(m_worker.get(), &QThread::finished, this, &FolderScan::workerEnded);
    m_worker->start();
    return true;
}

void FolderScan::workerEnded() {
    m_worker->wait(); // the thread has let go of m_found
    const QStringList found = std::exchange(m_found, {});
    for (const QString& entry : found)
        m_list.AppendEntry(entry);
    m_running = false;
    m_pointer.setCode(PointerCode::Default);
    Q_EMIT finished(int(found.size()));
}

// SPDX-License-Identifier: MIT
#pragma once

#include "filelist/folderwalk.h"

#include <QObject>
#include <QPersistentModelIndex>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class FileListModel;

// Runs the folder walk of one "Add All MKV File(s) In Folder" command on a
// worker thread, so the window stays responsive however large the tree. The
// worker only reads folders and hands what it found back by value; the
// entries are then appended here, on the thread that owns the list, in walk
// order and a chunk per turn of the event loop, so that even a very large
// find never holds up the window. The find stays in one piece: what else is
// added while its chunks go in comes after it. The job counts as running from
// the start until the last entry is in.
//
// The job never waits for its worker: one blocked in a hung network mount is
// left to end on its own, or with the program, and its find is then dropped.
class FolderWalkJob : public QObject {
    Q_OBJECT
  public:
    // Entries appended per turn of the event loop.
    static constexpr int ChunkSize = 5000;

    // The walk that runs on the worker thread.
    using Walk =
        std::function<FolderWalkResult(const QString& chosenFolder, const std::atomic<bool>* stop)>;

    explicit FolderWalkJob(FileListModel& list, QObject* parent = nullptr, Walk walk = walkFolder);
    // Tells a walk under way to stop, without waiting for it; nothing more is appended then.
    ~FolderWalkJob() override;

    bool running() const { return m_running; }

    // Starts walking the folder; false, and nothing happens, while a walk runs.
    bool start(const QString& chosenFolder);

  Q_SIGNALS:
    void runningChanged(bool running);
    // The entries are in the list and the job no longer runs; leftOut holds
    // what the walk could not add: for its name, or as it could not read it.
    void finished(int added, const LeftOutNames& leftOut);

  private:
    struct Worker;

    void walked(const FolderWalkResult& found);
    void appendChunk();
    void setRunning(bool running);

    FileListModel& m_list;
    Walk m_walk;
    std::shared_ptr<Worker> m_worker; // the last walk's
    QStringList m_found;              // what the last walk found, on this thread
    LeftOutNames m_leftOut;
    qsizetype m_appended = 0;
    // The last entry of the find put in so far; the next chunk goes after it,
    // or at the top when it and everything above it were removed.
    QPersistentModelIndex m_lastAppended;
    bool m_running = false;
};

// SPDX-License-Identifier: MIT
#pragma once

#include "convert/conversionrun.h"
#include "filelist/filelistmodel.h"
#include "filelist/folderwalkjob.h"
#include "filelist/openqueue.h"

#include <QObject>

// What one window works on: the batch, the folder walk and the queue of
// opened paths that fill it, and the run that converts it. The window shows
// and edits it; it is made before the window and outlives it.
class BatchSession : public QObject {
    Q_OBJECT
  public:
    // programFolder: where the encoder is looked for first.
    explicit BatchSession(const QString& programFolder, FolderWalkJob::Walk walk = walkFolder,
                          QObject* parent = nullptr)
        : QObject(parent), m_walk(m_list, nullptr, std::move(walk)), m_openQueue(m_list, m_walk),
          m_run(m_list, programFolder) {}

    FileListModel& list() { return m_list; }
    FolderWalkJob& folderWalk() { return m_walk; }
    OpenQueue& openQueue() { return m_openQueue; }
    ConversionRun& run() { return m_run; }

  private:
    // Declared in the order they depend on each other; the run goes first at
    // the end, letting go of its encoders.
    FileListModel m_list;
    FolderWalkJob m_walk;
    OpenQueue m_openQueue;
    ConversionRun m_run;
};

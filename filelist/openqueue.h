// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QStringList>

class FileListModel;
class FolderWalkJob;

// Adds paths to the list in their order: a file as it is, a folder through
// the folder walk, as "Add All MKV File(s) In Folder" does. A walk's find
// goes in where the list ends when the walk is done, so whatever follows a
// folder waits until then; so does everything while any walk runs.
class OpenQueue : public QObject {
    Q_OBJECT
  public:
    OpenQueue(FileListModel& list, FolderWalkJob& walk, QObject* parent = nullptr);

    // Queues the paths behind any still waiting, and adds what it can now.
    void open(const QStringList& paths);

  Q_SIGNALS:
    // Every path queued so far is in the list, and no folder walk runs.
    void opened();

  private:
    void openWaiting();

    FileListModel& m_list;
    FolderWalkJob& m_walk;
    QStringList m_waiting;
};

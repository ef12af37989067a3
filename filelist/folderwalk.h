// SPDX-License-Identifier: MIT
#pragma once

#include "filelist/leftoutnames.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>

// The folder walk behind "Add All MKV File(s) In Folder": the walk over the chosen folder and every
// folder below it, breadth first, level by level. The collection starts with the chosen folder and
// one separator (appended even to the root), and each folder that is listed adds its sub-folders,
// as folder + name + separator, to the end of it.
//
// Each folder is read once. Hidden folders (a name beginning with ".") are not
// entered; a folder reached again through a symbolic link is not listed twice,
// so link cycles end; a folder that cannot be read is passed over. Such folders,
// and names whose bytes are not valid UTF-8, are left out and kept apart, so
// they can be told.
class FolderWalk {
  public:
    explicit FolderWalk(const QString& chosenFolder);

    // Lists the next readable folder of the collection: appends an entry text
    // (folder, separator, name) for each file whose name ends in ".mkv" in any
    // letter case and does not begin with "~" (the mark of temporary and partial
    // files), hidden ones included, names sorted; and queues its sub-folders,
    // sorted. False once the collection is done, or as soon as stop is set.
    bool listNext(QStringList& entries, const std::atomic<bool>* stop = nullptr);

    // Every folder queued so far, in walk order; each ends in a separator.
    // Only the tests ask: it shows the form of the names the walk builds, the
    // root's doubled separator above all, before any file is found under them.
    const QStringList& collection() const { return m_collection; }
    // What was left out so far, in walk order: for its name, the files that
    // would have been entries and the folders that would have been queued;
    // and the folders of the collection that could not be read.
    const LeftOutNames& leftOut() const { return m_leftOut; }

  private:
    QStringList m_collection;
    qsizetype m_next = 0;
    QSet<QString> m_seen; // real paths of the folders listed
    LeftOutNames m_leftOut;
};

struct FolderWalkResult {
    QStringList entries;
    LeftOutNames leftOut;
};

// The whole walk: the entry texts in order, and what was left out. Ends
// early, with what it has, when stop is set. Nothing here touches the list.
FolderWalkResult walkFolder(const QString& chosenFolder, const std::atomic<bool>* stop = nullptr);

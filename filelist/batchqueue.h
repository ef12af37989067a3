// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QModelIndex>
#include <QObject>
#include <QPersistentModelIndex>
#include <QSet>

class FileListModel;

// Hands out the entries of a batch, each once: the batch is the entries in the
// list when it begins, and the next one is always the first of them, in the
// list's order at that moment, that has not been handed out. So a reorder
// changes what comes next, nothing is skipped or given twice, a removed entry
// is left out, and entries added meanwhile are not part of the batch.
//
// Every entry in the list is one of the batch still waiting, one handed out,
// or one added since the batch began. Only the last two are held by their
// model indexes, and handed-out ones only once the list is edited: a batch of
// any size begins at once, and one whose list is never edited holds nothing.
class BatchQueue : public QObject {
    Q_OBJECT
  public:
    explicit BatchQueue(FileListModel& list, QObject* parent = nullptr);

    // The batch is now the entries in the list.
    void begin();
    // Nothing more is handed out, and nothing is held.
    void end();

    // The next entry of the batch, now counted as begun; invalid when none is left.
    QModelIndex takeNext();
    // Entries handed out, those removed since included.
    int begun() const { return m_begun; }
    // Entries handed out that are still in the list.
    int begunInList() const { return int(m_begunEntries.size()) + m_begunUnheld; }
    // Entries of the batch in the list that have not been handed out.
    int waiting() const;

  private:
    void listEditing();
    void entriesInserted(int first, int last);
    void entriesRemoved();
    // The row of the next entry waiting, or the list's count when none is.
    int nextWaitingRow();

    FileListModel& m_list;
    bool m_active = false;
    QList<QPersistentModelIndex> m_begunEntries; // those still in the list
    QList<QPersistentModelIndex> m_addedEntries; // those still in the list
    int m_begun = 0;
    int m_begunUnheld = 0; // handed out since the list was last edited
    // Rows above m_nextRow hold no entry waiting: each holds a held entry, or
    // one handed out since the last edit. After an edit the held entries' rows
    // are looked up again, and the search starts from the top.
    int m_nextRow = 0;
    QSet<int> m_heldRows;
    bool m_listEdited = false;
};

// SPDX-License-Identifier: MIT
#include "filelist/batchqueue.h"

#include "filelist/filelistmodel.h"

BatchQueue::BatchQueue(FileListModel& list, QObject* parent) : QObject(parent), m_list(list) {
    connect(&m_list, &QAbstractItemModel::rowsAboutToBeInserted, this, &BatchQueue::listEditing);
    connect(&m_list, &QAbstractItemModel::rowsAboutToBeRemoved, this, &BatchQueue::listEditing);
    connect(&m_list, &QAbstractItemModel::rowsAboutToBeMoved, this, &BatchQueue::listEditing);
    connect(&m_list, &QAbstractItemModel::layoutAboutToBeChanged, this, &BatchQueue::listEditing);
    connect(&m_list, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { entriesInserted(first, last); });
    connect(&m_list, &QAbstractItemModel::rowsRemoved, this, &BatchQueue::entriesRemoved);
}

void BatchQueue::begin() {
    end();
    m_active = true;
}

void BatchQueue::end() {
    m_active = false;
    m_begunEntries.clear();
    m_addedEntries.clear();
    m_begun = 0;
    m_begunUnheld = 0;
    m_nextRow = 0;
    m_heldRows.clear();
    m_listEdited = false;
}

void BatchQueue::listEditing() {
    if (!m_active)
        return;
    m_listEdited = true;
    // The entries handed out since the last edit are the rows above the next
    // one that hold nothing else; from now on only their indexes can tell them.
    for (int row = 0; m_begunUnheld > 0 && row < m_nextRow; ++row) {
        if (!m_heldRows.contains(row)) {
            m_begunEntries.append(m_list.index(row));
            --m_begunUnheld;
        }
    }
}

void BatchQueue::entriesInserted(int first, int last) {
    if (!m_active)
        return;
    for (int row = first; row <= last; ++row)
        m_addedEntries.append(m_list.index(row));
}

void BatchQueue::entriesRemoved() {
    const auto removed = [](const QPersistentModelIndex& entry) { return !entry.isValid(); };
    m_begunEntries.removeIf(removed);
    m_addedEntries.removeIf(removed);
}

int BatchQueue::nextWaitingRow() {
    if (m_listEdited) {
        m_heldRows.clear();
        for (const QList<QPersistentModelIndex>* held : {&m_begunEntries, &m_addedEntries}) {
            for (const QPersistentModelIndex& entry : *held)
                m_heldRows.insert(entry.row());
        }
        m_nextRow = 0;
        m_listEdited = false;
    }
    const int count = m_list.count();
    while (m_nextRow < count && m_heldRows.contains(m_nextRow))
        ++m_nextRow;
    return m_nextRow;
}

QModelIndex BatchQueue::takeNext() {
    if (!m_active || nextWaitingRow() >= m_list.count())
        return {};
    ++m_begun;
    ++m_begunUnheld;
    return m_list.index(m_nextRow++);
}

int BatchQueue::waiting() const {
    return m_list.count() - begunInList() - int(m_addedEntries.size());
}

// SPDX-License-Identifier: MIT
#include "filelist/filelistrules.h"

#include "filelist/filelistmodel.h"

#include <QItemSelectionModel>

FileListRules::FileListRules(FileListModel& list, QItemSelectionModel& selection, QObject* parent)
    : QObject(parent), m_list(list), m_selection(selection) {}

QModelIndex FileListRules::selectedEntry() const {
    const QModelIndexList rows = m_selection.selectedRows();
    return rows.isEmpty() ? QModelIndex() : rows.constFirst();
}

void FileListRules::removeSelectedEntry() {
    const QModelIndex entry = selectedEntry();
    if (!entry.isValid())
        return;
    m_list.removeEntry(entry);
    m_selection.clearSelection();
}

void FileListRules::itemClicked() {
    m_acceptsDrops = false;
    m_dragEntry = selectedEntry();
}

void FileListRules::pointerMoved(const QModelIndex& hover, int referenceRow) {
    if (!m_dragging || !hover.isValid() || !m_dragEntry.isValid())
        return;
    // Equal texts stay where they are: exchanging them would change nothing
    // the user can see, yet move the dragged entry.
    if (m_list.textAt(hover) == m_list.textAt(m_dragEntry))
        return;

    // The exchange moves the dragged entry itself, so it stays m_dragEntry,
    // now where the hovered entry was.
    const int row = hover.row();
    m_list.exchangeEntries(m_dragEntry, hover);
    m_selection.setCurrentIndex(m_dragEntry,
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

    // At most one neighbour, and never beyond either end.
    const int neighbour = referenceRow < ScrollUpBelowRow     ? row - 1
                          : referenceRow > ScrollDownAboveRow ? row + 1
                                                              : -1;
    if (const QModelIndex shown = m_list.index(neighbour); shown.isValid())
        Q_EMIT scrollRequested(shown);
}

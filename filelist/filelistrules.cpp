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

void FileListRules::select(int position) {
    m_selection.setCurrentIndex(m_list.index(position - 1),
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void FileListRules::removeSelectedEntry() {
    const QModelIndex entry = selectedEntry();
    if (!entry.isValid())
        return;
    m_list.removeEntry(entry.row() + 1);
    m_selection.clearSelection();
}

void FileListRules::itemClicked() {
    m_acceptsDrops = false;
    m_dragEntry = selectedEntry();
}

void FileListRules::pointerMoved(int hoverPosition, int referenceRow) {
    if (!m_dragging)
        return;
    const int count = m_list.count();
    if (hoverPosition < 1 || hoverPosition > count || !m_dragEntry.isValid())
        return;
    const int dragPosition = m_dragEntry.row() + 1;
    // Equal texts stay where they are: exchanging them would change nothing
    // the user can see, yet move the dragged entry.
    if (m_list.textAt(hoverPosition) == m_list.textAt(dragPosition))
        return;

    // The exchange moves the dragged entry itself, so it stays m_dragEntry.
    m_list.exchangeEntries(dragPosition, hoverPosition);
    select(hoverPosition);

    if (referenceRow < ScrollUpBelowRow) {
        if (hoverPosition - 1 > 0)
            Q_EMIT scrollRequested(hoverPosition - 1);
    } else if (referenceRow > ScrollDownAboveRow) {
        if (hoverPosition + 1 <= count)
            Q_EMIT scrollRequested(hoverPosition + 1);
    }
}

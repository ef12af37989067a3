// SPDX-License-Identifier: MIT
#include "filelist/filelistrules.h"

#include "filelist/filelistmodel.h"

#include <QItemSelectionModel>

FileListRules::FileListRules(FileListModel& list, QItemSelectionModel& selection, QObject* parent)
    : QObject(parent), m_list(list), m_selection(selection) {
    connect(
        &m_list, &QAbstractItemModel::rowsRemoved, this,
        [this](const QModelIndex&, int first, int last) { entriesRemoved(first + 1, last + 1); });
}

int FileListRules::selectedPosition() const {
    const QModelIndexList rows = m_selection.selectedRows();
    return rows.isEmpty() ? 0 : rows.constFirst().row() + 1;
}

void FileListRules::select(int position) {
    m_selection.setCurrentIndex(m_list.index(position - 1),
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void FileListRules::removeSelectedEntry() {
    const int position = selectedPosition();
    if (position < 1 || position > m_list.count())
        return;
    m_list.removeEntry(position);
    m_selection.clearSelection();
}

void FileListRules::entriesRemoved(int firstPosition, int lastPosition) {
    // Follow the dragged entry past the removal; forget it when it was removed.
    if (m_dragEntry > lastPosition)
        m_dragEntry -= lastPosition - firstPosition + 1;
    else if (m_dragEntry >= firstPosition)
        m_dragEntry = 0;
}

void FileListRules::itemClicked() {
    m_acceptsDrops = false;
    m_dragEntry = selectedPosition();
}

void FileListRules::pointerMoved(int hoverPosition, int screenRow) {
    if (!m_dragging)
        return;
    const int count = m_list.count();
    if (hoverPosition < 1 || hoverPosition > count || m_dragEntry < 1 || m_dragEntry > count)
        return;
    // Equal texts stay where they are: exchanging them would change nothing
    // the user can see, yet move the dragged position.
    if (m_list.textAt(hoverPosition) == m_list.textAt(m_dragEntry))
        return;

    m_list.exchangeEntries(m_dragEntry, hoverPosition);
    select(hoverPosition);
    m_dragEntry = hoverPosition;

    if (screenRow < ScrollUpBelowRow) {
        if (hoverPosition - 1 > 0)
            Q_EMIT scrollRequested(hoverPosition - 1);
    } else if (screenRow > ScrollDownAboveRow) {
        if (hoverPosition + 1 <= count)
            Q_EMIT scrollRequested(hoverPosition + 1);
    }
}

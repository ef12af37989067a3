#include "filelist/filelist.h"

void FileList::RemoveSelectedEntry() {
    const int position = m_control.selected();
    if (position < 1 || position > m_control.count())
        return;
    m_control.remove(position);
    // The dragged entry is remembered by position: follow it past the removal,
    // and forget it when it was the one removed.
    if (m_dragEntry == position)
        m_dragEntry = 0;
    else if (m_dragEntry > position)
        --m_dragEntry;
}

void FileList::itemClicked() {
    m_acceptsDrops = false;
    m_dragEntry = m_control.selected();
}

void FileList::pointerMoved(QPoint point, int screenRow) {
    if (!m_dragging)
        return;
    const int count = m_control.count();
    const int hover = m_control.hitTest(point);
    if (hover < 1 || hover > count || m_dragEntry < 1 || m_dragEntry > count)
        return;
    const QString dragged = m_control.text(m_dragEntry);
    const QString hovered = m_control.text(hover);
    if (hovered == dragged)
        return;

    m_control.setText(m_dragEntry, hovered);
    m_control.setText(hover, dragged);
    m_control.select(hover);
    m_dragEntry = hover;

    if (screenRow < ScrollUpBelowRow) {
        if (hover - 1 > 0)
            m_control.ensureVisible(hover - 1);
    } else if (screenRow > ScrollDownAboveRow) {
        if (hover + 1 <= count)
            m_control.ensureVisible(hover + 1);
    }
}

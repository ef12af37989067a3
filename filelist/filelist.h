#pragma once

#include "filelist/listcontrol.h"

// The batch queue. The list control is its only store: an entry is nothing
// but its text, so moving an entry is exchanging two texts.
//
// The drag gesture: a press arms it, a click on an entry remembers that entry
// as the dragged one, and every move over another entry while armed exchanges
// the two, so the dragged text travels with the pointer.
class FileList {
  public:
    explicit FileList(ListControl& control) : m_control(control) {}

    // Screen rows, in logical pixels, beyond which an exchange also brings the
    // neighbouring entry into view.
    static constexpr int ScrollUpBelowRow = 305;
    static constexpr int ScrollDownAboveRow = 364;

    int count() const { return m_control.count(); }
    QString textAt(int position) const { return m_control.text(position); }

    // Adds exactly one entry with the text at the end; checks nothing.
    void AppendEntry(const QString& text) { m_control.add(text); }

    // Removes the selected entry, wherever the double-click landed.
    void RemoveSelectedEntry();

    void itemClicked(); // an entry was clicked; it is now the selected one
    void buttonPressed() { m_dragging = true; }
    void pointerMoved(QPoint point, int screenRow);
    void buttonReleased() { m_dragging = false; }

    bool dragging() const { return m_dragging; }
    // Position of the entry that holds the dragged text, 0 for none.
    int dragEntry() const { return m_dragEntry; }
    // Once an entry was clicked the list takes no dropped files any more.
    bool acceptsDrops() const { return m_acceptsDrops; }

  private:
    ListControl& m_control;
    bool m_dragging = false;
    int m_dragEntry = 0;
    bool m_acceptsDrops = true;
};

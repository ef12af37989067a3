// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPersistentModelIndex>

class FileListModel;
class QItemSelectionModel;

// How the user edits the batch with the mouse: a double-click removes the
// selected entry, and dragging an entry moves it up or down.
//
// The drag gesture: a press arms it, a click on an entry remembers that entry
// as the dragged one, and every move over another entry while armed exchanges
// the two, so the dragged text travels with the pointer. The dragged entry is
// held by its model index, so it follows every edit of the list and is
// forgotten once removed.
class FileListRules : public QObject {
    Q_OBJECT
  public:
    FileListRules(FileListModel& list, QItemSelectionModel& selection, QObject* parent = nullptr);

    // Rows of the reference screen (see referenceScreenRow), in logical
    // pixels, beyond which an exchange also brings the neighbouring entry into
    // view. On that screen they lie inside the list, near its top and bottom.
    static constexpr int ScrollUpBelowRow = 305;
    static constexpr int ScrollDownAboveRow = 364;

    // Removes the selected entry, wherever the double-click landed, and leaves
    // nothing selected, so a second double-click removes nothing the user never picked.
    void removeSelectedEntry();

    void itemClicked(); // an entry was clicked; it is now the selected one
    void buttonPressed() { m_dragging = true; }
    // The pointer is over the entry (an invalid index for none), at the
    // given row of the reference screen.
    void pointerMoved(const QModelIndex& hover, int referenceRow);
    void buttonReleased() { m_dragging = false; }

    bool dragging() const { return m_dragging; }
    // Once an entry was clicked the list takes no dropped files any more.
    bool acceptsDrops() const { return m_acceptsDrops; }

  Q_SIGNALS:
    // The entry should be scrolled into view.
    void scrollRequested(const QModelIndex& entry);

  private:
    QModelIndex selectedEntry() const;

    FileListModel& m_list;
    QItemSelectionModel& m_selection;
    bool m_dragging = false;
    QPersistentModelIndex m_dragEntry; // the entry that holds the dragged text
    bool m_acceptsDrops = true;
};

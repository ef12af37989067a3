// SPDX-License-Identifier: MIT
#include "app/filelistview.h"

#include "app/cursorpicture.h"
#include "common/windowops.h"
#include "filelist/droppedfiles.h"
#include "filelist/filelistmodel.h"
#include "filelist/filelistrules.h"

#include <QCursor>
#include <QDropEvent>
#include <QHeaderView>
#include <QMouseEvent>

FileListView::FileListView(FileListModel& list, QString programFolder, QWidget* parent)
    : QTreeView(parent), m_list(list), m_programFolder(std::move(programFolder)) {
    setModel(&m_list);
    m_rules = new FileListRules(m_list, *selectionModel(), this);
    connect(m_rules, &FileListRules::scrollRequested, this,
            [this](const QModelIndex& entry) { scrollTo(entry); });

    // The font comes first: sizing the column measures text, and measuring
    // in the default font would load that font for nothing.
    QFont listFont(QStringLiteral("Arial"));
    listFont.setPointSizeF(9);
    listFont.setBold(true);
    setFont(listFont);

    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    setColumnWidth(0, ColumnWidth);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Entries are moved by the gesture below, never by the view's own drag.
    setDragEnabled(false);
    setDragDropMode(QAbstractItemView::DropOnly);
    setAcceptDrops(true);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setToolTip(toolTipText());
}

QString FileListView::toolTipText() {
    return tr("Drag and drop files here. Double-click item to remove it. Move bar to "
              "right and out of window to reveal full names.");
}

void FileListView::mousePressEvent(QMouseEvent* event) {
    // The view selects the entry under the pointer on press; the click on an
    // entry is handled here too, before any move of the same gesture.
    // A press on blank space keeps the selection, so that a double-click there
    // still removes the selected entry.
    if (!indexAt(event->position().toPoint()).isValid()) {
        setFocus(Qt::MouseFocusReason);
    } else {
        QTreeView::mousePressEvent(event);
        m_rules->itemClicked();
        showDragPointer();
        setAcceptDrops(m_rules->acceptsDrops());
    }
    m_rules->buttonPressed();
}

void FileListView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_rules->dragging()) {
        QTreeView::mouseMoveEvent(event);
        return;
    }
    // While armed the rules own the selection; the view's own drag-select
    // would fight them. Their scrolling rows go with the window's client area,
    // so the pointer's row is told as it would be with the client area where
    // they were set; a frame's title bar moves the list within the frame.
    const QRect client = window()->geometry();
    m_rules->pointerMoved(
        indexAt(event->position().toPoint()),
        referenceScreenRow(qRound(event->globalPosition().y()), client.top(), client.size()));
    event->accept();
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    m_rules->buttonReleased();
    viewport()->setCursor(Qt::ArrowCursor);
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double-click arms the gesture like any press.
    m_rules->buttonPressed();
    m_rules->removeSelectedEntry();
    event->accept();
}

// The view's own drag handling would hand the drop to the model; the list
// takes file paths only, and never reports a move, so the source keeps its files.
void FileListView::dragEnterEvent(QDragEnterEvent* event) {
    // Read once per drag: from another program every read is a round trip.
    m_dragCarriesFiles = droppedFiles(event->mimeData()).has_value();
    takeDrag(event, m_dragCarriesFiles);
}

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
    takeDrag(event, m_dragCarriesFiles);
}

void FileListView::dropEvent(QDropEvent* event) {
    const std::optional<DroppedFiles> dropped = droppedFiles(event->mimeData());
    if (!takeDrag(event, dropped.has_value()))
        return;
    for (const QString& path : dropped->paths)
        m_list.appendEntry(path);
    if (!dropped->leftOut.isEmpty())
        Q_EMIT namesLeftOut(dropped->leftOut);
}

bool FileListView::takeDrag(QDropEvent* event, bool carriesFiles) {
    const Qt::DropAction action = dropActionFor(event->possibleActions());
    if (!m_rules->acceptsDrops() || action == Qt::IgnoreAction || !carriesFiles) {
        event->ignore(); // the pointer shows the refusal
        return false;
    }
    event->setDropAction(action);
    event->accept();
    return true;
}

void FileListView::showDragPointer() {
    // Read anew at every click, so a picture replaced on disk shows at once.
    const auto picture =
        loadCursorFile(programFolderFile(m_programFolder, QStringLiteral("drag.ico")));
    viewport()->setCursor(picture.value_or(QCursor(Qt::DragMoveCursor)));
}

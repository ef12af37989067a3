#include "filelist/filelistview.h"

#include "app/cursorpicture.h"
#include "app/windowops.h"
#include "filelist/droppedfiles.h"

#include <QCursor>
#include <QDropEvent>
#include <QHeaderView>
#include <QMouseEvent>

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderLabels({columnTitle()});
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

    QFont listFont(QStringLiteral("Arial"));
    listFont.setPointSizeF(9);
    listFont.setBold(true);
    setFont(listFont);
}

QString FileListView::toolTipText() {
    return QStringLiteral("Drag and drop files here. Double-click item to remove it. Move bar to "
                          "right and out of window to reveal full names.");
}

void FileListView::mousePressEvent(QMouseEvent* event) {
    // The view selects the entry under the pointer on press; the click on an
    // entry is handled here too, before any move of the same gesture.
    // A press on blank space keeps the selection, so that a double-click there
    // still removes the selected entry.
    if (hitTest(event->position().toPoint()) == 0) {
        setFocus(Qt::MouseFocusReason);
    } else {
        QTreeWidget::mousePressEvent(event);
        m_entries.itemClicked();
        showDragPointer();
        setAcceptDrops(m_entries.acceptsDrops());
    }
    m_entries.buttonPressed();
}

void FileListView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_entries.dragging()) {
        QTreeWidget::mouseMoveEvent(event);
        return;
    }
    // While armed the rules own the selection; the view's own drag-select
    // would fight them.
    m_entries.pointerMoved(event->position().toPoint(), QCursor::pos().y());
    event->accept();
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    m_entries.buttonReleased();
    viewport()->setCursor(Qt::ArrowCursor);
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double-click arms the gesture like any press.
    m_entries.buttonPressed();
    m_entries.RemoveSelectedEntry();
    event->accept();
}

// The view's own drag handling would hand the drop to the model; the list
// takes file paths only, and never reports a move, so the source keeps its files.
void FileListView::dragEnterEvent(QDragEnterEvent* event) {
    // Read once per drag: from another program every read is a round trip.
    m_dragCarriesFiles = DroppedFiles(event->mimeData()).has_value();
    takeDrag(event, m_dragCarriesFiles);
}

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
    takeDrag(event, m_dragCarriesFiles);
}

void FileListView::dropEvent(QDropEvent* event) {
    const std::optional<QStringList> paths = DroppedFiles(event->mimeData());
    if (!takeDrag(event, paths.has_value()))
        return;
    for (const QString& path : *paths)
        m_entries.AppendEntry(path);
}

bool FileListView::takeDrag(QDropEvent* event, bool carriesFiles) {
    const Qt::DropAction action = DropActionFor(event->possibleActions());
    if (!m_entries.acceptsDrops() || action == Qt::IgnoreAction || !carriesFiles) {
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

QString FileListView::text(int position) const {
    const QTreeWidgetItem* entry = topLevelItem(position - 1);
    return entry ? entry->text(0) : QString();
}

void FileListView::setText(int position, const QString& text) {
    if (QTreeWidgetItem* entry = topLevelItem(position - 1))
        entry->setText(0, text);
}

void FileListView::add(const QString& text) {
    addTopLevelItem(new QTreeWidgetItem(QStringList{text}));
}

void FileListView::remove(int position) {
    delete takeTopLevelItem(position - 1);
    // The view would select a neighbour; a second double-click must not
    // remove an entry the user never picked.
    clearSelection();
}

int FileListView::selected() const {
    const QList<QTreeWidgetItem*> chosen = selectedItems();
    return chosen.isEmpty() ? 0 : indexOfTopLevelItem(chosen.constFirst()) + 1;
}

void FileListView::select(int position) {
    if (QTreeWidgetItem* entry = topLevelItem(position - 1))
        setCurrentItem(entry);
}

void FileListView::ensureVisible(int position) {
    if (QTreeWidgetItem* entry = topLevelItem(position - 1))
        scrollToItem(entry);
}

int FileListView::hitTest(QPoint point) const {
    QTreeWidgetItem* entry = itemAt(point);
    return entry ? indexOfTopLevelItem(entry) + 1 : 0;
}

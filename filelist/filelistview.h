#pragma once

#include "filelist/filelist.h"
#include "filelist/listcontrol.h"

#include <QTreeWidget>

// The list control that holds the batch: one report-style column of paths,
// kept in the order the entries were added. Mouse input is handed to the
// FileList rules; the view only turns their state into pointers and drops.
class FileListView : public QTreeWidget, private ListControl {
    Q_OBJECT
  public:
    explicit FileListView(QWidget* parent = nullptr);

    static constexpr int ColumnWidth = 353;
    static QString columnTitle() { return QStringLiteral("MKV File(s)"); }
    static QString toolTipText();

    FileList& entries() { return m_entries; }
    const FileList& entries() const { return m_entries; }

    // Adds one entry with the text at the end; checks nothing.
    void appendEntry(const QString& text) { m_entries.AppendEntry(text); }
    int count() const override { return topLevelItemCount(); }
    QString textAt(int position) const { return text(position); }

    // Where drag.ico is looked for at every click on an entry.
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

    // Files and folders dragged in from a file manager.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // ListControl, over the widget's own items.
    QString text(int position) const override;
    void setText(int position, const QString& text) override;
    void add(const QString& text) override;
    void remove(int position) override;
    int selected() const override;
    void select(int position) override;
    void ensureVisible(int position) override;
    int hitTest(QPoint point) const override;

    void showDragPointer();
    bool takeDrag(QDropEvent* event, bool carriesFiles);

    FileList m_entries{*this};
    QString m_programFolder;
    bool m_dragCarriesFiles = false; // what the drag over the list held when it came in
};

// SPDX-License-Identifier: MIT
#pragma once

#include "filelist/leftoutnames.h"

#include <QTreeView>

class FileListModel;
class FileListRules;

// The list control that shows the batch: one report-style column of paths,
// in list order. Mouse input goes to the list rules; the view only turns
// their state into pointers, and takes files dropped from a file manager.
class FileListView : public QTreeView {
    Q_OBJECT
  public:
    FileListView(FileListModel& list, QString programFolder, QWidget* parent = nullptr);

    static constexpr int ColumnWidth = 353;
    static QString toolTipText();

  Q_SIGNALS:
    // A drop left these out for their names; sent after the rest is in.
    void namesLeftOut(const LeftOutNames& leftOut);

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
    void showDragPointer();
    bool takeDrag(QDropEvent* event, bool carriesFiles);

    FileListModel& m_list;
    FileListRules* m_rules = nullptr;
    QString m_programFolder;         // where drag.ico is looked for at every click on an entry
    bool m_dragCarriesFiles = false; // what the drag over the list held when it came in
};

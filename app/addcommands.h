// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QString>

class FileListModel;
class FolderWalkJob;
class QWidget;
class UserDialogs;

// The two adding commands behind the window's buttons. Both ask through the
// dialog seam, so nothing here ever blocks a test.
namespace AddCommands {

inline QString filesTitle() {
    return QCoreApplication::translate("AddCommands",
                                       "Add File(s) - Hold Ctrl or Shift to select multiple files");
}
inline QString filesFilter() {
    return QCoreApplication::translate("AddCommands", "Matroska Video (*.mkv)");
}
inline QString folderTitle() {
    return QCoreApplication::translate("AddCommands", "Please select folder to add:");
}

// "Add MKV File(s)": one entry per chosen file, in the dialog's order, exactly
// as the dialog's answer splits; a cancel changes nothing and shows nothing.
void addFiles(UserDialogs& dialogs, QWidget* owner, FileListModel& list);

// "Add All MKV File(s) In Folder": asks for a folder and starts the walk.
// While a walk runs the command is ignored, without a dialog.
void addFolder(UserDialogs& dialogs, QWidget* owner, FolderWalkJob& walk);

} // namespace AddCommands

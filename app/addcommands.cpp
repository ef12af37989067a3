// SPDX-License-Identifier: MIT
#include "app/addcommands.h"

#include "app/userdialogs.h"
#include "filelist/dialogselection.h"
#include "filelist/filelistmodel.h"
#include "filelist/folderwalkjob.h"

namespace AddCommands {

void addFiles(UserDialogs& dialogs, QWidget* owner, FileListModel& list) {
    const QStringList chosen = dialogs.chooseFiles(owner, filesTitle(), filesFilter());
    // The toolkit answers with a list of paths; going through the text form
    // keeps the entries exactly what that form splits into.
    for (const QString& entry : splitDialogSelection(dialogResultText(chosen)))
        list.appendEntry(entry);
}

void addFolder(UserDialogs& dialogs, QWidget* owner, FolderWalkJob& walk) {
    if (walk.running())
        return;
    const QString folder = dialogs.chooseFolder(owner, folderTitle());
    if (folder.isEmpty())
        return;
    walk.start(folder);
}

} // namespace AddCommands

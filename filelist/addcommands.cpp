#include "filelist/addcommands.h"

#include "app/userdialogs.h"
#include "filelist/dialogselection.h"
#include "filelist/filelist.h"
#include "filelist/folderscan.h"

namespace AddCommands {

void addFiles(UserDialogs& dialogs, QWidget* owner, FileList& list) {
    const QStringList chosen = dialogs.chooseFiles(owner, filesTitle(), filesFilter());
    // The toolkit answers with a list of paths; going through the text form
    // keeps the entries exactly what that form splits into.
    for (const QString& entry : SplitDialogSelection(DialogResultText(chosen)))
        list.AppendEntry(entry);
}

void addFolder(UserDialogs& dialogs, QWidget* owner, FolderScan& scan) {
    if (scan.running())
        return;
    const QString folder = dialogs.chooseFolder(owner, folderTitle());
    if (folder.isEmpty())
        return;
    scan.start(folder);
}

} // namespace AddCommands

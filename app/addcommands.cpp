// SPDX-License-Identifier: MIT
#include "app/addcommands.h"

#include "app/userdialogs.h"
#include "filelist/dialogselection.h"
#include "filelist/filelistmodel.h"
#include "filelist/folderwalkjob.h"
#include "filelist/leftoutnames.h"

#include <algorithm>

namespace AddCommands {

namespace {

QString leftOutSummary(const LeftOutNames& leftOut) {
    QStringList said;
    const qsizetype files = leftOut.files.size();
    if (files == 1)
        said << QCoreApplication::translate(
            "AddCommands", "1 file was left out: its name is not valid UTF-8 text, so it "
                           "cannot be passed to the encoder.");
    else if (files > 1)
        said << QCoreApplication::translate(
                    "AddCommands",
                    "%1 files were left out: their names are not valid UTF-8 text, so "
                    "they cannot be passed to the encoder.")
                    .arg(files);
    const qsizetype folders = leftOut.folders.size();
    if (folders == 1)
        said << QCoreApplication::translate(
            "AddCommands", "1 folder could not be entered: its name is not valid UTF-8 text, "
                           "so the files below it are not listed.");
    else if (folders > 1)
        said << QCoreApplication::translate(
                    "AddCommands",
                    "%1 folders could not be entered: their names are not valid UTF-8 "
                    "text, so the files below them are not listed.")
                    .arg(folders);
    return said.join(u' ');
}

} // namespace

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

void reportLeftOut(UserDialogs& dialogs, QWidget* owner, const LeftOutNames& leftOut) {
    if (leftOut.isEmpty())
        return;
    const qsizetype total = leftOut.files.size() + leftOut.folders.size();
    // Files first, then folders, up to what the details hold.
    const QStringList names =
        leftOut.files.mid(0, NamesInDetails) +
        leftOut.folders.mid(0, std::max<qsizetype>(NamesInDetails - leftOut.files.size(), 0));
    const QString summary = leftOutSummary(leftOut);
    if (total <= NamesInMessage) {
        dialogs.showMessage(owner, summary + QStringLiteral("\n\n") + names.join(u'\n'));
        return;
    }
    QString details = names.join(u'\n');
    if (total == names.size()) {
        dialogs.showMessage(
            owner, summary + QCoreApplication::translate("AddCommands", " The details list them."),
            details);
        return;
    }
    details +=
        QCoreApplication::translate("AddCommands", "\n\n...and %1 more.").arg(total - names.size());
    dialogs.showMessage(
        owner,
        summary + QCoreApplication::translate("AddCommands", " The details list the first %1.")
                      .arg(names.size()),
        details);
}

} // namespace AddCommands

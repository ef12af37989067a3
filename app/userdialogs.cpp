// SPDX-License-Identifier: MIT
#include "app/userdialogs.h"

#include "app/appinfo.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStandardPaths>

namespace {

// The names typed into the name box: one name, or several in quotation marks.
QStringList typedNames(const QString& text) {
    if (!text.contains(u'"'))
        return text.isEmpty() ? QStringList() : QStringList{text};
    QStringList names;
    const QStringList pieces = text.split(u'"');
    for (qsizetype i = 1; i < pieces.size(); i += 2) {
        if (!pieces.at(i).isEmpty())
            names << pieces.at(i);
    }
    return names;
}

// A multi-select open dialog that takes every typed name as it is, in the
// order typed, whether or not the file exists yet: the toolkit's own would
// refuse a missing one, or drop it without a word. Files chosen in its view
// come back as they are.
class OpenFilesDialog final : public QFileDialog {
  public:
    OpenFilesDialog(QWidget* parent, const QString& title, const QString& filter,
                    const QString& folder)
        : QFileDialog(parent, title, folder, filter) {
        setFileMode(QFileDialog::ExistingFiles);
        setAcceptMode(QFileDialog::AcceptOpen);
    }

    QStringList chosen() const { return m_chosen.isEmpty() ? selectedFiles() : m_chosen; }

    void accept() override {
        // Absent with a platform's own dialog, which keeps its own rules.
        const auto* nameBox = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!nameBox)
            return QFileDialog::accept();
        QStringList paths = viewChoice(nameBox->text());
        if (paths.isEmpty()) {
            const QDir folder = directory();
            for (const QString& name : typedNames(nameBox->text())) {
                const QString path = folder.absoluteFilePath(name);
                // A typed folder is opened, as the toolkit does.
                if (QFileInfo(path).isDir())
                    return QFileDialog::accept();
                paths << path;
            }
        }
        if (paths.isEmpty())
            return QFileDialog::accept();
        m_chosen = paths;
        Q_EMIT filesSelected(m_chosen);
        QDialog::accept();
    }

  private:
    // The files selected in the view, while the name box still holds what the
    // toolkit wrote there for them: a name may hold quotation marks itself,
    // so that text cannot be split back into names.
    QStringList viewChoice(const QString& boxText) const {
        const auto* view = findChild<QAbstractItemView*>(QStringLiteral("listView"));
        if (!view || !view->selectionModel() || boxText.isEmpty())
            return {};
        QStringList paths;
        QStringList names;
        for (const QModelIndex& row : view->selectionModel()->selectedRows()) {
            const QString path = row.data(QFileSystemModel::FilePathRole).toString();
            if (QFileInfo(path).isDir())
                continue; // the toolkit leaves folders out of the box
            paths << path;
            names << row.data().toString();
        }
        if (names.size() > 1) {
            for (QString& name : names)
                name = u'"' + name + u'"';
        }
        return names.join(u' ') == boxText ? paths : QStringList();
    }

    QStringList m_chosen;
};

// Where a first dialog opens: the process's current folder, the toolkit's
// choice, is often "/".
QString startFolder(bool& asked) {
    if (std::exchange(asked, true))
        return {};
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return QFileInfo(videos).isDir() ? videos : QDir::homePath();
}

} // namespace

QStringList QtUserDialogs::chooseFiles(QWidget* parent, const QString& title,
                                       const QString& filter) {
    OpenFilesDialog dialog(parent, title, filter, startFolder(m_filesAsked));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.chosen();
}

QString QtUserDialogs::chooseFolder(QWidget* parent, const QString& title) {
    QFileDialog dialog(parent, title, startFolder(m_folderAsked));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.constFirst();
}

void QtUserDialogs::showMessage(QWidget* parent, const QString& text, const QString& details) {
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, parent);
    box.setWindowModality(Qt::ApplicationModal);
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.exec();
}

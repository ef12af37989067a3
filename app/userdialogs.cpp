// SPDX-License-Identifier: MIT
#include "app/userdialogs.h"

#include "app/appinfo.h"

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

#include <algorithm>

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

// A typed name as the desktop means it: a leading "~" is the home folder.
QString expandHome(const QString& name) {
    if (name == u'~')
        return QDir::homePath();
    if (name.startsWith(QStringLiteral("~/")))
        return QDir::homePath() + name.mid(1);
    return name;
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
        const QLineEdit* nameBox = this->nameBox();
        if (!nameBox)
            return QFileDialog::accept();
        QStringList paths = viewChoice(nameBox->text());
        if (paths.isEmpty()) {
            const QDir folder = directory();
            for (const QString& name : typedNames(nameBox->text())) {
                const QString path = folder.absoluteFilePath(expandHome(name));
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

  protected:
    void showEvent(QShowEvent* event) override {
        QFileDialog::showEvent(event);
        // The toolkit greys Open while a typed name does not exist; such names
        // are taken here, so the button stays usable whenever names are typed.
        const auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        if (m_openButton || !buttons || !nameBox())
            return;
        m_openButton = buttons->button(QDialogButtonBox::Open);
        if (m_openButton) {
            m_openButton->installEventFilter(this);
            // After the toolkit's own judgement of the text, made on the same signal.
            connect(nameBox(), &QLineEdit::textChanged, this, &OpenFilesDialog::keepOpenUsable);
            keepOpenUsable();
        }
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_openButton && event->type() == QEvent::EnabledChange)
            keepOpenUsable();
        return QFileDialog::eventFilter(watched, event);
    }

  private:
    QLineEdit* nameBox() const { return findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

    void keepOpenUsable() {
        if (!m_openButton->isEnabled() && !typedNames(nameBox()->text()).isEmpty())
            m_openButton->setEnabled(true);
    }

    // The files selected in the view, in the order the name box lists them,
    // while the box still holds what the toolkit wrote there for them: a name
    // may hold quotation marks itself, so that text cannot be split back into
    // names. The view may have sorted the selection since.
    QStringList viewChoice(const QString& boxText) const {
        const auto* view = findChild<QAbstractItemView*>(QStringLiteral("listView"));
        if (!view || !view->selectionModel() || boxText.isEmpty())
            return {};
        struct Choice {
            QString name;
            QString path;
        };
        QList<Choice> chosen;
        for (const QModelIndex& row : view->selectionModel()->selectedRows()) {
            const QString path = row.data(QFileSystemModel::FilePathRole).toString();
            if (!QFileInfo(path).isDir()) // the toolkit leaves folders out of the box
                chosen.append({row.data().toString(), path});
        }
        if (chosen.size() > 1) {
            for (Choice& choice : chosen)
                choice.name = u'"' + choice.name + u'"';
        }
        std::stable_sort(chosen.begin(), chosen.end(),
                         [&boxText](const Choice& a, const Choice& b) {
                             return boxText.indexOf(a.name) < boxText.indexOf(b.name);
                         });
        QStringList names;
        QStringList paths;
        for (const Choice& choice : std::as_const(chosen)) {
            names << choice.name;
            paths << choice.path;
        }
        return names.join(u' ') == boxText ? paths : QStringList();
    }

    QStringList m_chosen;
    QPushButton* m_openButton = nullptr;
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

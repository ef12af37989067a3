// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Every modal window the program opens goes through this seam, so tests can
// answer it without ever blocking on a real dialog.
class UserDialogs {
  public:
    virtual ~UserDialogs() = default;

    // Multi-select file-open dialog; the chosen paths as the toolkit returns
    // them, or nothing when cancelled.
    virtual QStringList chooseFiles(QWidget* parent, const QString& title,
                                    const QString& filter) = 0;
    // Folder chooser; the chosen folder, or an empty text when cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& title) = 0;
    // A modal message with only OK and no icon. Details, when not empty, go in
    // the box's expandable details area.
    virtual void showMessage(QWidget* parent, const QString& text,
                             const QString& details = QString()) = 0;
};

// The real dialogs. The first file dialog and the first folder dialog of a
// start open in the user's Videos folder (the home folder without one); later
// ones where the toolkit last was.
class QtUserDialogs final : public UserDialogs {
  public:
    QStringList chooseFiles(QWidget* parent, const QString& title, const QString& filter) override;
    QString chooseFolder(QWidget* parent, const QString& title) override;
    void showMessage(QWidget* parent, const QString& text, const QString& details) override;

  private:
    bool m_filesAsked = false;
    bool m_folderAsked = false;
};

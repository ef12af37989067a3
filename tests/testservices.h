// SPDX-License-Identifier: MIT
#pragma once

// Fakes that stand in for everything the main window would otherwise show or
// start: dialogs answer from a script, and the home page never opens. Also
// the ways a test reaches the parts of a window.

#include "app/form1.h"
#include "app/pointerrules.h"
#include "app/userdialogs.h"
#include "convert/batchsession.h"

#include <QList>
#include <QProgressBar>
#include <QStringList>

class ScriptedDialogs final : public UserDialogs {
  public:
    struct Message {
        QString text;
        QString details;
    };

    QList<QStringList> fileAnswers; // taken from the front; empty means cancel
    QStringList folderAnswers;      // taken from the front; empty means cancel
    QList<Message> messages;
    QStringList fileTitles, fileFilters, folderTitles;

    QStringList chooseFiles(QWidget*, const QString& title, const QString& filter) override {
        fileTitles << title;
        fileFilters << filter;
        return fileAnswers.isEmpty() ? QStringList() : fileAnswers.takeFirst();
    }
    QString chooseFolder(QWidget*, const QString& title) override {
        folderTitles << title;
        return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
    }
    void showMessage(QWidget*, const QString& text, const QString& details) override {
        messages.append({text, details});
    }
};

// Services for a window under test: never the visiting draw, never a browser.
inline Form1Services testServices(const QString& programFolder, UserDialogs* dialogs,
                                  int homePageDraw = 1, int* browserOpenings = nullptr) {
    Form1Services services{programFolder, dialogs, [homePageDraw] { return homePageDraw; },
                           [browserOpenings](const QUrl&) {
                               if (browserOpenings)
                                   ++*browserOpenings;
                           }};
    // Never the machine's own system bus.
    services.systemBus = [] { return QDBusConnection(QStringLiteral("no system bus in tests")); };
    return services;
}

// The session a window shows, made first and gone last, as the program does.
struct SessionHolder {
    BatchSession session;
    SessionHolder(const QString& programFolder, FolderWalkJob::Walk walk)
        : session(programFolder, std::move(walk)) {}
};

// The main window over a session of its own.
class TestForm1 : public SessionHolder, public Form1 {
  public:
    explicit TestForm1(Form1Services services, FolderWalkJob::Walk walk = walkFolder)
        : SessionHolder(services.programFolder, std::move(walk)),
          Form1(session, std::move(services)) {}
};

inline FileListModel& fileList(TestForm1& form) {
    return form.session.list();
}
inline PointerRules& pointerRules(const Form1& form) {
    return *form.findChild<PointerRules*>();
}
inline QProgressBar& progressBar(const Form1& form) {
    return *form.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
}

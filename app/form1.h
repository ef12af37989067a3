// SPDX-License-Identifier: MIT
#pragma once

#include "app/busaccess.h"
#include "app/pointerrules.h"
#include "common/homepage.h"
#include "filelist/leftoutnames.h"

#include <QCursor>
#include <QWidget>

#include <optional>

class BatchSession;
class FileListView;
class PictureButton;
class QProgressBar;
class QPushButton;
class UserDialogs;
struct UserMessage;

// What the main window needs from the world outside it. The program passes
// the real ones; tests pass fakes so that nothing blocks and no browser opens.
struct Form1Services {
    QString programFolder;          // looked in for HAND-M.CUR, drag.ico and the encoder
    UserDialogs* dialogs = nullptr; // not owned; must outlive the window
    HomePageVisit::Draw homePageDraw;
    HomePageVisit::Launcher openUrl;
    // Where the desktop hears of a run: the task bar's progress on the session
    // bus; the sleep inhibitor on the system bus, or the portal on the session bus.
    BusAccess sessionBus = [] { return QDBusConnection::sessionBus(); };
    BusAccess systemBus = [] { return QDBusConnection::systemBus(); };
};

// The program's one window. It shows the session's batch, wires the session's
// jobs to its controls, and tells what they report.
class Form1 : public QWidget {
    Q_OBJECT
  public:
    static constexpr QSize ClientSize{441, 257};

    // The session must outlive the window.
    Form1(BatchSession& session, Form1Services services, QWidget* parent = nullptr);
    ~Form1() override;

    // Adds the paths the program was started with, in their order: files as
    // they are, folders as "Add All MKV File(s) In Folder" does. What was left
    // out for its name is told once the window is up.
    void openPaths(const QStringList& paths, const LeftOutNames& leftOut);

    // Moves a window so that its outer frame is centred on the primary screen.
    static void centerOnScreen(QWidget& window);

  Q_SIGNALS:
    // The window was closed: the program ends now, whatever is under way.
    void unloading();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void createControls();
    void connectCommands();
    void load();
    void applyPointer(PointerCode code);
    void updateBusy();
    void reportLeftOut(const LeftOutNames& leftOut);
    void tell(const UserMessage& message);

    BatchSession& m_session;
    Form1Services m_services;
    PointerRules* m_pointer = nullptr;
    // The cursor code 99 shows: our hand picture, or the toolkit's pointing
    // hand. Read when first shown: most starts never need it.
    std::optional<QCursor> m_handCursor;
    // Until a window manager frames the window, it is centred by its client area.
    bool m_awaitingFrame = true;

    // Object names Command1, Check1, Check2, ListView1, Check3, ProgressBar1.
    QPushButton* m_focusHolder = nullptr;
    PictureButton* m_addFilesButton = nullptr;
    PictureButton* m_startButton = nullptr;
    FileListView* m_listView = nullptr;
    PictureButton* m_addFolderButton = nullptr;
    QProgressBar* m_progressBar = nullptr;
};

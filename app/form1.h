// SPDX-License-Identifier: MIT
#pragma once

#include "app/busaccess.h"
#include "app/taskbarprogress.h"
#include "common/homepage.h"
#include "common/pointerrules.h"
#include "filelist/folderwalkjob.h"

#include <QCursor>
#include <QWidget>

#include <optional>

class ConversionRun;
class FileListModel;
class FileListView;
class OpenQueue;
class PictureButton;
class QProgressBar;
class SleepInhibitor;
class QPushButton;
class UserDialogs;

// What the main window needs from the world outside it. The program passes
// the real ones; tests pass fakes so that nothing blocks and no browser opens.
struct Form1Services {
    QString programFolder;          // looked in for HAND-M.CUR, drag.ico and the encoder
    UserDialogs* dialogs = nullptr; // not owned; must outlive the window
    HomePageVisit::Draw homePageDraw;
    HomePageVisit::Launcher openUrl;
    FolderWalkJob::Walk folderWalk = walkFolder; // what "Add All MKV File(s) In Folder" runs
    // Where the desktop hears of a run: the task bar's progress on the session
    // bus; the sleep inhibitor on the system bus, or the portal on the session bus.
    BusAccess sessionBus = [] { return QDBusConnection::sessionBus(); };
    BusAccess systemBus = [] { return QDBusConnection::systemBus(); };
};

// The program's one window. It owns the batch list, the pointer rules, the
// folder walk and the conversion run, and wires them to its controls.
class Form1 : public QWidget {
    Q_OBJECT
  public:
    static constexpr QSize ClientSize{441, 257};

    explicit Form1(Form1Services services, QWidget* parent = nullptr);
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

    Form1Services m_services;
    PointerRules* m_pointer = nullptr;
    FileListModel* m_list = nullptr;
    FolderWalkJob* m_folderWalk = nullptr;
    OpenQueue* m_openQueue = nullptr;
    ConversionRun* m_run = nullptr;
    TaskbarProgress m_taskbar;
    SleepInhibitor* m_sleepInhibitor = nullptr;
    // The cursor code 99 shows: our hand picture, or the toolkit's pointing
    // hand. Read when first shown: most starts never need it.
    std::optional<QCursor> m_handCursor;
    // Until a window manager frames the window, it is centred by its client area.
    bool m_awaitingFrame = true;

    QPushButton* Command1 = nullptr;
    PictureButton* Check1 = nullptr;
    PictureButton* Check2 = nullptr;
    FileListView* ListView1 = nullptr;
    PictureButton* Check3 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
};

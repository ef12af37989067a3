#pragma once

#include "app/homepage.h"
#include "app/pointerrules.h"

#include <QCursor>
#include <QWidget>

class FileListView;
class PictureButton;
class QProgressBar;
class QPushButton;
class UserDialogs;

// What the main window needs from the world outside it. The program passes
// the real ones; tests pass fakes so that nothing blocks and no browser opens.
struct Form1Services {
    QString programFolder;          // looked in for HAND-M.CUR, drag.ico and the encoder
    UserDialogs* dialogs = nullptr; // not owned; must outlive the window
    HomePageVisit::Draw homePageDraw;
    HomePageVisit::Launcher openUrl;
};

// The program's one window.
class Form1 : public QWidget {
    Q_OBJECT
  public:
    static constexpr QSize ClientSize{441, 257};

    explicit Form1(Form1Services services, QWidget* parent = nullptr);
    ~Form1() override;

    PointerRules& pointer() { return m_pointer; }
    const Form1Services& services() const { return m_services; }
    FileListView* fileList() const { return ListView1; }
    QProgressBar* progressBar() const { return ProgressBar1; }
    // The cursor code 99 shows: our hand picture, or the toolkit's pointing hand.
    QCursor handCursor() const { return m_handCursor; }

    // Moves a window so that its outer frame is centred on the primary screen.
    static void CenterOnScreen(QWidget& window);

  Q_SIGNALS:
    // The window was closed: the program ends now, whatever is under way.
    void unloading();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void createControls();
    void load();
    void applyPointer(PointerCode code);

    Form1Services m_services;
    PointerRules m_pointer;
    QCursor m_handCursor{Qt::PointingHandCursor};

    QPushButton* Command1 = nullptr;
    PictureButton* Check1 = nullptr;
    PictureButton* Check2 = nullptr;
    FileListView* ListView1 = nullptr;
    PictureButton* Check3 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
};

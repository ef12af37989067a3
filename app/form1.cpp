// SPDX-License-Identifier: MIT
#include "app/form1.h"

#include "app/addcommands.h"
#include "app/appinfo.h"
#include "app/cursorpicture.h"
#include "app/filelistview.h"
#include "app/openqueue.h"
#include "app/picturebutton.h"
#include "app/pictureicons.h"
#include "app/sleepinhibitor.h"
#include "app/userdialogs.h"
#include "common/windowops.h"
#include "convert/conversionrun.h"
#include "filelist/filelistmodel.h"
#include "filelist/folderwalkjob.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace {

QFont captionFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

QIcon transparentIcon() {
    QPixmap blank(32, 32);
    blank.fill(Qt::transparent);
    return QIcon(blank);
}

} // namespace

Form1::Form1(Form1Services services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_services(std::move(services)), m_pointer(new PointerRules(this)),
      m_list(new FileListModel(this)),
      m_folderWalk(new FolderWalkJob(*m_list, *m_pointer, this, m_services.folderWalk)),
      m_openQueue(new OpenQueue(*m_list, *m_folderWalk, this)),
      m_run(new ConversionRun(*m_list, *m_pointer, m_services.programFolder, this)),
      m_taskbar(m_services.sessionBus, QGuiApplication::desktopFileName()),
      m_sleepInhibitor(new SleepInhibitor(m_services.systemBus, m_services.sessionBus, this)) {
    setObjectName(QStringLiteral("Form1"));
    setFixedSize(ClientSize);
    setWindowIcon(transparentIcon());
    // The text on the white is pinned too: a dark desktop theme's light text
    // would all but vanish on it. The list keeps the system's own colours.
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Button, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    white.setColor(QPalette::ButtonText, Qt::black);
    setPalette(white);
    setAutoFillBackground(true);
    setMouseTracking(true);

    createControls();
    connectCommands();
    load();
}

Form1::~Form1() = default;

void Form1::createControls() {
    // Created in tab order; Command1 sits left of the client area, where it
    // takes the initial focus so that no visible control shows a focus mark.
    Command1 = new QPushButton(QStringLiteral("Command1"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(-48, 176, 41, 33);

    Check1 = new PictureButton(buttonPicture(QStringLiteral("film")), tr("Add MKV File(s)"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(8, 136, 137, 81);

    Check2 =
        new PictureButton(buttonPicture(QStringLiteral("start")), QStringLiteral("Start"), this);
    Check2->setObjectName(QStringLiteral("Check2"));
    Check2->setGeometry(296, 136, 137, 81);

    ListView1 = new FileListView(*m_list, m_services.programFolder, this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setGeometry(8, 8, 425, 121);
    // The list has no caption of its own; its column title says what it holds.
    ListView1->setAccessibleName(FileListModel::columnTitle());

    Check3 = new PictureButton(buttonPicture(QStringLiteral("folder")),
                               tr("Add All MKV File(s) In Folder"), this);
    Check3->setObjectName(QStringLiteral("Check3"));
    Check3->setGeometry(152, 136, 137, 81);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(8, 225, 425, 25);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setAccessibleName(QStringLiteral("Progress"));

    for (PictureButton* button : {Check1, Check2, Check3}) {
        button->setFont(captionFont());
        button->setMouseTracking(true);
        button->installEventFilter(this);
    }
    ProgressBar1->setMouseTracking(true);
    ProgressBar1->installEventFilter(this);
    // The list's own handlers run after this filter, so the window's rule comes first.
    ListView1->viewport()->setMouseTracking(true);
    ListView1->viewport()->installEventFilter(this);

    setTabOrder(Command1, Check1);
    setTabOrder(Check1, Check2);
    setTabOrder(Check2, ListView1);
    setTabOrder(ListView1, Check3);
    setTabOrder(Check3, ProgressBar1);
    Command1->setFocus();
}

void Form1::connectCommands() {
    connect(m_pointer, &PointerRules::codeChanged, this, &Form1::applyPointer);

    // Filling the list: the open dialog (Check1) and the folder walk (Check3).
    connect(Check1, &QPushButton::clicked, this, [this] {
        if (m_services.dialogs)
            AddCommands::addFiles(*m_services.dialogs, this, *m_list);
    });
    connect(Check3, &QPushButton::clicked, this, [this] {
        if (m_services.dialogs)
            AddCommands::addFolder(*m_services.dialogs, this, *m_folderWalk);
    });
    // What a walk or a drop could not add is told once, after the rest is in.
    connect(m_folderWalk, &FolderWalkJob::finished, this, [this](int, const LeftOutNames& leftOut) {
        if (m_services.dialogs)
            AddCommands::reportLeftOut(*m_services.dialogs, this, leftOut);
    });
    // Queued: a modal message inside the drop would hold up the file manager.
    connect(
        ListView1, &FileListView::namesLeftOut, this,
        [this](const LeftOutNames& leftOut) {
            if (m_services.dialogs)
                AddCommands::reportLeftOut(*m_services.dialogs, this, leftOut);
        },
        Qt::QueuedConnection);

    // Start converts the list; the bar and the end message follow the run.
    connect(Check2, &QPushButton::clicked, m_run, &ConversionRun::start);
    // The bar holds whole numbers; the run's values are exact.
    connect(m_run, &ConversionRun::progressChanged, ProgressBar1,
            [this](float value) { ProgressBar1->setValue(qRound(value)); });
    // Beside the bar, for the desktop: the file under way and the time left,
    // the task bar entry's progress, and no sleep until the end.
    connect(m_run, &ConversionRun::statusChanged, ProgressBar1, [this](const QString& status) {
        ProgressBar1->setToolTip(status);
        ProgressBar1->setAccessibleDescription(status);
    });
    connect(m_run, &ConversionRun::batchShareChanged, this,
            [this](double share) { m_taskbar.show(share); });
    connect(m_run, &ConversionRun::converting, m_sleepInhibitor,
            [this] { m_sleepInhibitor->hold(tr("Converting videos")); });
    connect(m_run, &ConversionRun::finished, this,
            [this](const QString& message, const QString& details) {
                m_taskbar.clear();
                m_sleepInhibitor->release();
                // The task bar asks for attention when the end comes while the user is elsewhere.
                if (!isActiveWindow())
                    QApplication::alert(this);
                if (m_services.dialogs)
                    m_services.dialogs->showMessage(this, message, details);
            });
}

void Form1::load() {
    centerOnScreen(*this);
    setWindowTitle(applicationTitle());

    HomePageVisit(m_services.homePageDraw, m_services.openUrl).run();

    // The column and the bar's white background are set up by the controls
    // themselves; the white comes from the window's palette.
    QPalette barPalette = ProgressBar1->palette();
    barPalette.setColor(QPalette::Base, Qt::white);
    barPalette.setColor(QPalette::Window, Qt::white);
    barPalette.setColor(QPalette::Text, Qt::black);
    ProgressBar1->setPalette(barPalette);
}

void Form1::openPaths(const QStringList& paths, const LeftOutNames& leftOut) {
    m_openQueue->open(paths);
    if (leftOut.isEmpty())
        return;
    // Queued, as after a drop: the message waits for the window.
    QMetaObject::invokeMethod(
        this,
        [this, leftOut] {
            if (m_services.dialogs)
                AddCommands::reportLeftOut(*m_services.dialogs, this, leftOut);
        },
        Qt::QueuedConnection);
}

void Form1::centerOnScreen(QWidget& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QPoint position =
        centeredPosition(screen->geometry().size(), window.frameGeometry().size());
    window.move(position.x(), window.y()); // left first, then top
    window.move(position);
}

void Form1::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // A window manager frames the window only after it is shown, so the first
    // centring went by the client area alone. The manager's first move brings
    // the frame, before the first paint.
    if (m_awaitingFrame && frameGeometry().size() != size()) {
        m_awaitingFrame = false;
        centerOnScreen(*this);
    }
}

void Form1::applyPointer(PointerCode code) {
    switch (code) {
    case PointerCode::Default:
        unsetCursor();
        break;
    case PointerCode::Hourglass:
        setCursor(Qt::WaitCursor);
        break;
    case PointerCode::Hand:
        if (!m_handCursor) {
            const QString handPath =
                programFolderFile(m_services.programFolder, QStringLiteral("HAND-M.CUR"));
            m_handCursor = fileExists(handPath) ? loadCursorFile(handPath) : std::nullopt;
            if (!m_handCursor)
                m_handCursor = QCursor(Qt::PointingHandCursor);
        }
        setCursor(*m_handCursor);
        break;
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        if (watched == Check1 || watched == Check2 || watched == Check3)
            m_pointer->pointerOverButton();
        else if (watched == ProgressBar1 || watched == ListView1->viewport())
            m_pointer->pointerOverBackground();
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    // Moves that a child ignored reach the window too; those were handled
    // by the child's own rule already.
    if (!childAt(event->position().toPoint()))
        m_pointer->pointerOverBackground();
    QWidget::mouseMoveEvent(event);
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    // Before anyone ends the program: a run under way stops here, leaving its
    // encoder to finish the file, and shows nothing more.
    m_run->abandon();
    m_taskbar.clear();
    m_sleepInhibitor->release();
    Q_EMIT unloading();
}

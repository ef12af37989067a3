// SPDX-License-Identifier: MIT
#include "app/form1.h"

#include "app/addcommands.h"
#include "app/appinfo.h"
#include "app/cursorpicture.h"
#include "app/desktophooks.h"
#include "app/filelistview.h"
#include "app/messages.h"
#include "app/picturebutton.h"
#include "app/pictureicons.h"
#include "app/userdialogs.h"
#include "common/windowops.h"
#include "convert/batchsession.h"

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

Form1::Form1(BatchSession& session, Form1Services services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_session(session), m_services(std::move(services)), m_pointer(new PointerRules(this)) {
    // Before the window's own handlers, so the desktop is done with the run
    // before its closing message holds the thread.
    new DesktopHooks(m_session.run(), *this, m_services.sessionBus, m_services.systemBus, this);
    setObjectName(QStringLiteral("Form1"));
    setFixedSize(ClientSize);
    // The layout is fixed and a path reads left to right in any language; the
    // toolkit's own dialogs still follow a right-to-left locale.
    setLayoutDirection(Qt::LeftToRight);
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
    m_focusHolder = new QPushButton(QStringLiteral("Command1"), this);
    m_focusHolder->setObjectName(QStringLiteral("Command1"));
    m_focusHolder->setGeometry(-48, 176, 41, 33);

    m_addFilesButton =
        new PictureButton(buttonPicture(QStringLiteral("film")), tr("Add MKV File(s)"), this);
    m_addFilesButton->setObjectName(QStringLiteral("Check1"));
    m_addFilesButton->setGeometry(8, 136, 137, 81);

    m_startButton =
        new PictureButton(buttonPicture(QStringLiteral("start")), QStringLiteral("Start"), this);
    m_startButton->setObjectName(QStringLiteral("Check2"));
    m_startButton->setGeometry(296, 136, 137, 81);

    m_listView = new FileListView(m_session.list(), m_services.programFolder, this);
    m_listView->setObjectName(QStringLiteral("ListView1"));
    m_listView->setGeometry(8, 8, 425, 121);
    // The list has no caption of its own; its column title says what it holds.
    m_session.list().setColumnTitle(tr("MKV File(s)"));
    m_listView->setAccessibleName(tr("MKV File(s)"));

    m_addFolderButton = new PictureButton(buttonPicture(QStringLiteral("folder")),
                                          tr("Add All MKV File(s) In Folder"), this);
    m_addFolderButton->setObjectName(QStringLiteral("Check3"));
    m_addFolderButton->setGeometry(152, 136, 137, 81);

    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar->setGeometry(8, 225, 425, 25);
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    m_progressBar->setAccessibleName(QStringLiteral("Progress"));

    for (PictureButton* button : {m_addFilesButton, m_startButton, m_addFolderButton}) {
        button->setFont(captionFont());
        button->setMouseTracking(true);
        button->installEventFilter(this);
    }
    m_progressBar->setMouseTracking(true);
    m_progressBar->installEventFilter(this);
    // The list's own handlers run after this filter, so the window's rule comes first.
    m_listView->viewport()->setMouseTracking(true);
    m_listView->viewport()->installEventFilter(this);

    setTabOrder(m_focusHolder, m_addFilesButton);
    setTabOrder(m_addFilesButton, m_startButton);
    setTabOrder(m_startButton, m_listView);
    setTabOrder(m_listView, m_addFolderButton);
    setTabOrder(m_addFolderButton, m_progressBar);
    m_focusHolder->setFocus();
}

void Form1::connectCommands() {
    connect(m_pointer, &PointerRules::codeChanged, this, &Form1::applyPointer);
    // The hourglass shows while a walk or a run is under way, whichever ends last.
    connect(&m_session.folderWalk(), &FolderWalkJob::runningChanged, this, &Form1::updateBusy);
    connect(&m_session.run(), &ConversionRun::stateChanged, this, &Form1::updateBusy);

    // Filling the list: the open dialog (Check1) and the folder walk (Check3).
    connect(m_addFilesButton, &QPushButton::clicked, this, [this] {
        if (m_services.dialogs)
            AddCommands::addFiles(*m_services.dialogs, this, m_session.list());
    });
    connect(m_addFolderButton, &QPushButton::clicked, this, [this] {
        if (m_services.dialogs)
            AddCommands::addFolder(*m_services.dialogs, this, m_session.folderWalk());
    });
    // What a walk or a drop could not add is told once, after the rest is in.
    connect(&m_session.folderWalk(), &FolderWalkJob::finished, this,
            [this](int, const LeftOutNames& leftOut) { reportLeftOut(leftOut); });
    // Queued: a modal message inside the drop would hold up the file manager.
    connect(m_listView, &FileListView::namesLeftOut, this, &Form1::reportLeftOut,
            Qt::QueuedConnection);

    // Start converts the list; the bar, its tool tip and the end message follow the run.
    ConversionRun& run = m_session.run();
    connect(m_startButton, &QPushButton::clicked, &run, &ConversionRun::start);
    // The bar holds whole numbers; the run's values are exact.
    connect(&run, &ConversionRun::progressChanged, m_progressBar,
            [this](float value) { m_progressBar->setValue(qRound(value)); });
    connect(&run, &ConversionRun::progressed, m_progressBar, [this](const RunProgress& progress) {
        const QString status = Messages::runStatus(progress);
        m_progressBar->setToolTip(status);
        m_progressBar->setAccessibleDescription(status);
    });
    connect(&run, &ConversionRun::stateChanged, m_progressBar, [this](ConversionRun::State state) {
        if (state == ConversionRun::State::Converting)
            return;
        m_progressBar->setToolTip(QString());
        m_progressBar->setAccessibleDescription(QString());
    });
    connect(&run, &ConversionRun::finished, this,
            [this](const ConversionReport& report) { tell(Messages::endOfRun(report)); });
}

void Form1::updateBusy() {
    m_pointer->setBusy(m_session.folderWalk().running() ||
                       m_session.run().state() == ConversionRun::State::Converting);
}

void Form1::reportLeftOut(const LeftOutNames& leftOut) {
    if (!leftOut.isEmpty())
        tell(Messages::leftOut(leftOut));
}

void Form1::tell(const UserMessage& message) {
    if (m_services.dialogs)
        m_services.dialogs->showMessage(this, message.text, message.details);
}

void Form1::load() {
    centerOnScreen(*this);
    setWindowTitle(applicationTitle());

    HomePageVisit(m_services.homePageDraw, m_services.openUrl).run();

    // The column and the bar's white background are set up by the controls
    // themselves; the white comes from the window's palette.
    QPalette barPalette = m_progressBar->palette();
    barPalette.setColor(QPalette::Base, Qt::white);
    barPalette.setColor(QPalette::Window, Qt::white);
    barPalette.setColor(QPalette::Text, Qt::black);
    m_progressBar->setPalette(barPalette);
}

void Form1::openPaths(const QStringList& paths, const LeftOutNames& leftOut) {
    m_session.openQueue().open(paths);
    if (leftOut.isEmpty())
        return;
    // Queued, as after a drop: the message waits for the window.
    QMetaObject::invokeMethod(
        this, [this, leftOut] { reportLeftOut(leftOut); }, Qt::QueuedConnection);
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
        if (watched == m_addFilesButton || watched == m_startButton || watched == m_addFolderButton)
            m_pointer->pointerOverButton();
        else if (watched == m_progressBar || watched == m_listView->viewport())
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
    // Before anyone ends the program: a run under way stops here, leaving the
    // encoder of a whole file to finish it, and shows nothing more; the
    // desktop hooks let go as at any end of a run. The parts of a file
    // converted in parts are removed first, a moment at most.
    connect(&m_session.run(), &ConversionRun::letGo, this, &Form1::unloading,
            Qt::SingleShotConnection);
    m_session.run().abandon();
}

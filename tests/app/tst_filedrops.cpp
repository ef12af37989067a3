// SPDX-License-Identifier: MIT
// Drags from a file manager, as Qt hands them to the list: enter, move and
// drop events sent to the list's viewport.

#include "app/filelistview.h"
#include "filelist/filelistmodel.h"

#include <QMimeData>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "listtexts.h"

namespace {

// What a drag carries: a URL list, when offered, and plain text.
std::unique_ptr<QMimeData> dragData(bool offersUrls, const QStringList& urls,
                                    const QString& text = QString()) {
    auto data = std::make_unique<QMimeData>();
    if (offersUrls) {
        QList<QUrl> list;
        for (const QString& url : urls)
            list << QUrl(url);
        data->setUrls(list);
    }
    if (!text.isEmpty())
        data->setText(text);
    return data;
}

struct Outcome {
    bool enterAccepted = false;
    bool moveAccepted = false;
    bool dropAccepted = false;
    Qt::DropAction dropAction = Qt::IgnoreAction;
};

// One whole drag over the list and a drop in the middle of it.
Outcome dragOver(FileListView& view, const QMimeData& data, Qt::DropActions possible) {
    QWidget* surface = view.viewport();
    const QPoint point = surface->rect().center();
    Outcome outcome;
    QDragEnterEvent enter(point, possible, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &enter);
    outcome.enterAccepted = enter.isAccepted();
    QDragMoveEvent move(point, possible, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &move);
    outcome.moveAccepted = move.isAccepted();
    QDropEvent drop(point, possible, &data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &drop);
    outcome.dropAccepted = drop.isAccepted();
    outcome.dropAction = drop.dropAction();
    return outcome;
}

const QString Existing = QStringLiteral("/old/x.mkv");

} // namespace

class FileDropsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void cleanup();
    void drops_data();
    void drops();
    void neverAMove_data();
    void neverAMove();
    void refusedAfterClickOnEntry();

  private:
    QTemporaryDir m_programFolder;
    std::unique_ptr<FileListModel> m_list; // outlives the view that shows it
    std::unique_ptr<FileListView> m_view;
};

void FileDropsTest::init() {
    m_list = std::make_unique<FileListModel>();
    m_view = std::make_unique<FileListView>(*m_list, m_programFolder.path());
    m_view->resize(425, 200);
    m_list->appendEntry(Existing);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

void FileDropsTest::cleanup() {
    m_view.reset();
    m_list.reset();
}

void FileDropsTest::drops_data() {
    QTest::addColumn<bool>("offersUrls");
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("leftOut");

    QTest::newRow("three files, in the drag's order")
        << true << QStringList{"file:///v/c.mkv", "file:///v/a.mkv", "file:///v/b.mkv"} << QString()
        << true << QStringList{"/v/c.mkv", "/v/a.mkv", "/v/b.mkv"} << QStringList{};
    QTest::newRow("a folder is one entry") << true << QStringList{"file:///v/films"} << QString()
                                           << true << QStringList{"/v/films"} << QStringList{};
    QTest::newRow("any type") << true << QStringList{"file:///v/notes.txt", "file:///v/clip.avi"}
                              << QString() << true << QStringList{"/v/notes.txt", "/v/clip.avi"}
                              << QStringList{};
    QTest::newRow("already listed, added again")
        << true << QStringList{"file:///old/x.mkv"} << QString() << true << QStringList{Existing}
        << QStringList{};
    QTest::newRow("spaces and other scripts")
        << true << QStringList{QUrl::fromLocalFile("/v/my film фильм.mkv").toString()} << QString()
        << true << QStringList{"/v/my film фильм.mkv"} << QStringList{};
    QTest::newRow("files with text beside them")
        << true << QStringList{"file:///v/a.mkv"} << QStringLiteral("/v/a.mkv") << true
        << QStringList{"/v/a.mkv"} << QStringList{};
    QTest::newRow("this machine by name: localhost")
        << true << QStringList{"file://localhost/v/a.mkv", "file://LOCALHOST/v/b.mkv"} << QString()
        << true << QStringList{"/v/a.mkv", "/v/b.mkv"} << QStringList{};
    QTest::newRow("this machine by name: its host name")
        << true << QStringList{"file://" + QSysInfo::machineHostName() + "/v/a.mkv"} << QString()
        << true << QStringList{"/v/a.mkv"} << QStringList{};
    QTest::newRow("file address naming another host")
        << true << QStringList{"file://srv/share/a.mkv"} << QString() << false << QStringList{}
        << QStringList{};
    QTest::newRow("this machine and another host mixed")
        << true << QStringList{"file://localhost/v/a.mkv", "file://srv/share/b.mkv"} << QString()
        << false << QStringList{} << QStringList{};
    QTest::newRow("name bytes not UTF-8 left out, the rest added")
        << true
        << QStringList{"file:///v/caf%E9.mkv", "file:///v/caf%C3%A9.mkv",
                       "file://localhost/v/dir%FF/b.mkv"}
        << QString() << true << QStringList{u"/v/caf\u00e9.mkv"_qs}
        << QStringList{u"/v/caf\ufffd.mkv"_qs, u"/v/dir\ufffd/b.mkv"_qs};
    QTest::newRow("only such names: taken, to be told")
        << true << QStringList{"file:///v/caf%E9.mkv"} << QString() << true << QStringList{}
        << QStringList{u"/v/caf\ufffd.mkv"_qs};
    QTest::newRow("plain text only") << false << QStringList() << QStringLiteral("/v/a.mkv")
                                     << false << QStringList{} << QStringList{};
    QTest::newRow("empty file list")
        << true << QStringList{} << QString() << false << QStringList{} << QStringList{};
    QTest::newRow("web address") << true << QStringList{"https://example.org/a.mkv"} << QString()
                                 << false << QStringList{} << QStringList{};
    QTest::newRow("local and web mixed")
        << true << QStringList{"file:///v/a.mkv", "https://example.org/b.mkv"} << QString() << false
        << QStringList{} << QStringList{};
}

void FileDropsTest::drops() {
    QFETCH(bool, offersUrls);
    QFETCH(QStringList, urls);
    QFETCH(QString, text);
    QFETCH(bool, taken);
    QFETCH(QStringList, added);
    QFETCH(QStringList, leftOut);
    const auto data = dragData(offersUrls, urls, text);
    QSignalSpy told(m_view.get(), &FileListView::namesLeftOut);

    const Outcome outcome = dragOver(*m_view, *data, Qt::CopyAction | Qt::MoveAction);

    QCOMPARE(outcome.enterAccepted, taken);
    QCOMPARE(outcome.moveAccepted, taken);
    QCOMPARE(outcome.dropAccepted, taken);
    QCOMPARE(texts(*m_list), QStringList{Existing} + added);
    // Told once, and only when something was left out.
    QCOMPARE(told.count(), leftOut.isEmpty() ? 0 : 1);
    if (!leftOut.isEmpty()) {
        const auto names = told.at(0).at(0).value<LeftOutNames>();
        QCOMPARE(names.files, leftOut);
        QVERIFY(names.folders.isEmpty());
    }
}

void FileDropsTest::neverAMove_data() {
    QTest::addColumn<Qt::DropActions>("possible");
    QTest::addColumn<Qt::DropAction>("reported");

    QTest::newRow("copy or move") << Qt::DropActions(Qt::CopyAction | Qt::MoveAction)
                                  << Qt::CopyAction;
    QTest::newRow("everything") << Qt::DropActions(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction)
                                << Qt::CopyAction;
    QTest::newRow("move or link") << Qt::DropActions(Qt::MoveAction | Qt::LinkAction)
                                  << Qt::LinkAction;
    QTest::newRow("link only") << Qt::DropActions(Qt::LinkAction) << Qt::LinkAction;
    QTest::newRow("move only: refused") << Qt::DropActions(Qt::MoveAction) << Qt::IgnoreAction;
}

void FileDropsTest::neverAMove() {
    QFETCH(Qt::DropActions, possible);
    QFETCH(Qt::DropAction, reported);
    const auto data = dragData(true, {"file:///v/a.mkv"});

    const Outcome outcome = dragOver(*m_view, *data, possible);

    const bool taken = reported != Qt::IgnoreAction;
    QCOMPARE(outcome.enterAccepted, taken);
    QCOMPARE(outcome.dropAccepted, taken);
    if (taken)
        QCOMPARE(outcome.dropAction, reported);
    QStringList expected{Existing};
    if (taken)
        expected << QStringLiteral("/v/a.mkv");
    QCOMPARE(texts(*m_list), expected);
}

void FileDropsTest::refusedAfterClickOnEntry() {
    const auto data = dragData(true, {"file:///v/a.mkv"});
    QVERIFY(dragOver(*m_view, *data, Qt::CopyAction).dropAccepted);
    QCOMPARE(m_list->count(), 2);

    const QPoint entry = m_view->visualRect(m_list->index(0)).center();
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, entry);
    QVERIFY(!m_view->acceptDrops());

    const Outcome outcome = dragOver(*m_view, *data, Qt::CopyAction);
    QVERIFY(!outcome.enterAccepted);
    QVERIFY(!outcome.dropAccepted);
    QCOMPARE(m_list->count(), 2);
}

QTEST_MAIN(FileDropsTest)
#include "tst_filedrops.moc"

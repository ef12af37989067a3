// SPDX-License-Identifier: MIT
// A real drag from another program onto the list, on the test's own X
// server: the mouse is driven from outside with xdotool, and the files travel
// through the X drag-and-drop protocol the way a file manager's would.

#include "app/filelistview.h"
#include "filelist/filelistmodel.h"
#include "foldertree.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "listtexts.h"
#include "xdotool.h"

namespace {

const QPoint SourceCorner(40, 100);
const QRect ListArea(500, 100, 425, 300);

} // namespace

class RealDropTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void dragFromAnotherProgram_data();
    void dragFromAnotherProgram();
};

void RealDropTest::initTestCase() {
    if (xdotoolPath().isEmpty())
        QFAIL("xdotool (package xdotool) is needed");
}

void RealDropTest::dragFromAnotherProgram_data() {
    QTest::addColumn<bool>("clickFirst");
    QTest::newRow("fresh list takes the files") << false;
    QTest::newRow("after a click on an entry the list refuses") << true;
}

void RealDropTest::dragFromAnotherProgram() {
    QFETCH(bool, clickFirst);
    QTemporaryDir folder;
    QVERIFY(makeTree(folder.path(), {"b.mkv", "notes.txt", "films/a.mkv"}));
    const QStringList dragged = underRoot(folder.path(), {"b.mkv", "notes.txt", "films"});

    QTemporaryDir programFolder;
    FileListModel list;
    FileListView view(list, programFolder.path());
    view.setWindowTitle(QStringLiteral("list"));
    list.appendEntry(QStringLiteral("/old/x.mkv"));
    view.setGeometry(ListArea);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    if (clickFirst) {
        const QPoint entry = view.visualRect(list.index(0)).center();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, entry);
        QVERIFY(!view.acceptDrops());
    }

    QProcess source;
    QByteArray said;
    connect(&source, &QProcess::readyReadStandardOutput, this,
            [&] { said += source.readAllStandardOutput(); });
    source.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    source.start(QStringLiteral(QUORVANE_DRAGSOURCE),
                 QStringList{QString::number(SourceCorner.x()), QString::number(SourceCorner.y())} +
                     dragged);
    const auto stopSource = qScopeGuard([&] {
        if (source.state() != QProcess::NotRunning) {
            source.kill();
            source.waitForFinished(5000);
        }
    });
    QVERIFY2(source.waitForStarted(10000), qPrintable(source.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(said.contains("ready"), 20000);

    // Press on the source, pull past the drag distance, travel to the list in
    // steps, linger there so both sides agree on the target, let go.
    const QPoint from = SourceCorner + QPoint(100, 100);
    const QPoint to = view.viewport()->mapToGlobal(view.viewport()->rect().center());
    QVERIFY(xdotool({"mousemove", QString::number(from.x()), QString::number(from.y())}));
    QTest::qWait(100);
    QVERIFY(xdotool({"mousedown", "1"}));
    const int steps = 12;
    for (int step = 1; step <= steps; ++step) {
        const QPoint at = from + (to - from) * step / steps;
        QVERIFY(xdotool({"mousemove", QString::number(at.x()), QString::number(at.y())}));
        QTest::qWait(40);
    }
    for (int wiggle = 0; wiggle < 4; ++wiggle) {
        QVERIFY(xdotool(
            {"mousemove", QString::number(to.x() + wiggle % 2 * 4), QString::number(to.y())}));
        QTest::qWait(60);
    }
    QVERIFY(xdotool({"mouseup", "1"}));

    QTRY_VERIFY_WITH_TIMEOUT(said.contains("dropped"), 20000);
    const int action = said.mid(said.indexOf("dropped") + 8).trimmed().toInt();
    if (clickFirst) {
        QCOMPARE(action, int(Qt::IgnoreAction));
        QTest::qWait(200); // a late drop would show up here
        QCOMPARE(texts(list), QStringList{"/old/x.mkv"});
    } else {
        QCOMPARE(action, int(Qt::CopyAction)); // never a move: the source keeps its files
        QTRY_COMPARE_WITH_TIMEOUT(texts(list), QStringList{"/old/x.mkv"} + dragged, 10000);
    }
    for (const QString& path : dragged)
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
    QVERIFY(QFileInfo::exists(folder.filePath(QStringLiteral("films/a.mkv"))));
    QTRY_COMPARE_WITH_TIMEOUT(source.state(), QProcess::NotRunning, 20000);
}

QTEST_MAIN(RealDropTest)
#include "tst_realdrop.moc"

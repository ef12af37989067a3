// SPDX-License-Identifier: MIT
// Dragging an entry to the list's edge scrolls it, wherever the window stands
// and whatever the screen: the real window, the real mouse (xdotool), and a
// screen of each size the test is registered for, with and without a frame.

#include "app/filelistview.h"
#include "common/windowops.h"
#include "testservices.h"
#include "xdotool.h"

#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

class DragScrollTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void dragCarriesEntryPastTheEdge_data();
    void dragCarriesEntryPastTheEdge();
};

void DragScrollTest::initTestCase() {
    if (xdotoolPath().isEmpty())
        QFAIL("xdotool (package xdotool) is needed");
}

void DragScrollTest::dragCarriesEntryPastTheEdge_data() {
    QTest::addColumn<int>("shift"); // rows the window stands below its centred place
    QTest::addColumn<bool>("upwards");
    QTest::newRow("centred, dragged up") << 0 << true;
    QTest::newRow("moved down, dragged up") << 200 << true;
    QTest::newRow("moved up, dragged down") << -250 << false;
}

void DragScrollTest::dragCarriesEntryPastTheEdge() {
    QFETCH(int, shift);
    QFETCH(bool, upwards);
    constexpr int Count = 30;
    QTemporaryDir programFolder;
    ScriptedDialogs dialogs;
    TestForm1 form(testServices(programFolder.path(), &dialogs));
    FileListModel& list = fileList(form);
    for (int i = 1; i <= Count; ++i)
        list.appendEntry(u"/videos/%1.mkv"_qs.arg(i, 2, 10, QChar(u'0')));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // A window manager frames the window after it shows; it is then centred anew.
    if (qEnvironmentVariableIsSet("QUORVANE_TEST_WINDOW_MANAGER"))
        QTRY_VERIFY(form.frameGeometry().height() > form.height() + 2 &&
                    form.frameGeometry().topLeft() ==
                        centeredPosition(form.screen()->size(), form.frameGeometry().size()));
    const QPoint place = form.pos() + QPoint(0, shift);
    form.move(place);
    QTRY_COMPARE(form.frameGeometry().topLeft(), place);

    auto* view = form.findChild<FileListView*>();
    const int from = upwards ? Count : 1;
    const QString dragged = list.textAt(list.index(from - 1));
    view->scrollTo(list.index(from - 1));
    QWidget* viewport = view->viewport();
    const QPoint start = viewport->mapToGlobal(view->visualRect(list.index(from - 1)).center());
    // The row in view nearest the edge the entry travels to.
    const int edgeRow = viewport->mapToGlobal(QPoint(0, upwards ? 3 : viewport->height() - 3)).y();

    // Press on the entry, pass over every row to the edge, then keep nudging
    // the pointer there: each exchange at the edge scrolls one more entry in.
    const auto move = [](int x, int y) {
        return QStringList{u"mousemove"_qs, QString::number(x), QString::number(y), u"sleep"_qs,
                           u"0.03"_qs};
    };
    QStringList gesture = move(start.x(), start.y()) + QStringList{u"mousedown"_qs, u"1"_qs};
    const int step = upwards ? -4 : 4;
    for (int y = start.y() + step; upwards ? y > edgeRow : y < edgeRow; y += step)
        gesture += move(start.x(), y);
    for (int nudge = 0; nudge < 2 * Count; ++nudge)
        gesture += move(start.x(), edgeRow + (upwards ? nudge % 2 : -(nudge % 2)));
    gesture += QStringList{u"mouseup"_qs, u"1"_qs};
    QVERIFY(xdotool(gesture));

    const int to = upwards ? 1 : Count;
    QTRY_COMPARE(list.textAt(list.index(to - 1)), dragged);
    QCOMPARE(list.count(), Count);
    // The entry it ended at is in view.
    QVERIFY(viewport->rect().intersects(view->visualRect(list.index(to - 1))));
}

QTEST_MAIN(DragScrollTest)
#include "tst_dragscroll.moc"

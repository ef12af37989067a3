#include "filelist/filelist.h"
#include "memorylist.h"

#include <QtTest>

namespace {

QStringList letters(int count) {
    QStringList texts;
    for (int i = 0; i < count; ++i)
        texts << QString(QChar(u'a' + i));
    return texts;
}

constexpr int QuietRow = 330; // between the two scrolling bands

// Press on an entry, move over each position in turn, release.
void drag(FileList& list, MemoryList& control, int from, const QList<int>& over,
          int screenRow = QuietRow) {
    control.select(from);
    list.buttonPressed();
    list.itemClicked();
    for (int position : over)
        list.pointerMoved(MemoryList::pointOver(position), screenRow);
    list.buttonReleased();
}

} // namespace

class FileListTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void appendKeepsOrderAndDuplicates();
    void removal_data();
    void removal();
    void drag_data();
    void drag();
    void edgeScrolling_data();
    void edgeScrolling();
    void movesWithoutArmingChangeNothing();
    void blankSpaceAndEmptyList();
    void laterPressWithoutClickMovesRememberedEntry();
    void removedDragEntryIsNeverTouched();
    void dragEntryFollowsEarlierRemoval();
    void firstClickEndsDrops();
};

void FileListTest::appendKeepsOrderAndDuplicates() {
    MemoryList control;
    FileList list(control);
    list.AppendEntry(QStringLiteral("/v/a.mkv"));
    list.AppendEntry(QStringLiteral("/v/a.mkv"));
    list.AppendEntry(QString());
    QCOMPARE(control.texts,
             QStringList({QStringLiteral("/v/a.mkv"), QStringLiteral("/v/a.mkv"), QString()}));
    QCOMPARE(list.count(), 3);
    QCOMPARE(list.textAt(2), QStringLiteral("/v/a.mkv"));
}

void FileListTest::removal_data() {
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("first") << 1 << QStringList{"b", "c", "d"};
    QTest::newRow("middle shifts later entries") << 2 << QStringList{"a", "c", "d"};
    QTest::newRow("last") << 4 << QStringList{"a", "b", "c"};
    QTest::newRow("nothing selected") << 0 << QStringList{"a", "b", "c", "d"};
}

void FileListTest::removal() {
    QFETCH(int, selected);
    QFETCH(QStringList, expected);
    MemoryList control;
    control.texts = letters(4);
    control.selection = selected;
    FileList list(control);
    list.RemoveSelectedEntry();
    QCOMPARE(control.texts, expected);
}

void FileListTest::drag_data() {
    QTest::addColumn<QStringList>("start");
    QTest::addColumn<int>("from");
    QTest::addColumn<QList<int>>("over");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("selectedAfter");

    QTest::newRow("slow drag down carries the entry")
        << letters(5) << 1 << QList<int>{1, 2, 3, 4} << QStringList{"b", "c", "d", "a", "e"} << 4;
    QTest::newRow("slow drag up carries the entry")
        << letters(5) << 5 << QList<int>{4, 3, 2} << QStringList{"a", "e", "b", "c", "d"} << 2;
    QTest::newRow("jump swaps just two")
        << letters(5) << 1 << QList<int>{4} << QStringList{"d", "b", "c", "a", "e"} << 4;
    QTest::newRow("staying on the entry changes nothing")
        << letters(3) << 2 << QList<int>{2, 2} << letters(3) << 2;
    QTest::newRow("first entry dragged up changes nothing")
        << letters(3) << 1 << QList<int>{1, 1} << letters(3) << 1;
    QTest::newRow("last entry dragged down changes nothing")
        << letters(3) << 3 << QList<int>{3, 3} << letters(3) << 3;
    QTest::newRow("equal text keeps its place")
        << QStringList{"x", "x", "y"} << 1 << QList<int>{2, 3} << QStringList{"y", "x", "x"} << 3;
    QTest::newRow("back and forth returns")
        << letters(4) << 2 << QList<int>{3, 2} << letters(4) << 2;
}

void FileListTest::drag() {
    QFETCH(QStringList, start);
    QFETCH(int, from);
    QFETCH(QList<int>, over);
    QFETCH(QStringList, expected);
    QFETCH(int, selectedAfter);
    MemoryList control;
    control.texts = start;
    FileList list(control);
    ::drag(list, control, from, over);
    QCOMPARE(control.texts, expected);
    QCOMPARE(control.selection, selectedAfter);
    QCOMPARE(list.dragEntry(), selectedAfter);
    QVERIFY(!list.dragging());
    QVERIFY(control.ensuredVisible.isEmpty());
}

void FileListTest::edgeScrolling_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("screenRow");
    QTest::addColumn<QList<int>>("ensured");
    QTest::newRow("304 shows the entry above") << 3 << 2 << 304 << QList<int>{1};
    QTest::newRow("305 is quiet") << 3 << 2 << 305 << QList<int>{};
    QTest::newRow("364 is quiet") << 2 << 3 << 364 << QList<int>{};
    QTest::newRow("365 shows the entry below") << 2 << 3 << 365 << QList<int>{4};
    QTest::newRow("never above the first") << 2 << 1 << 0 << QList<int>{};
    QTest::newRow("never below the last") << 3 << 4 << 2000 << QList<int>{};
    QTest::newRow("no exchange, no scroll") << 2 << 2 << 0 << QList<int>{};
}

void FileListTest::edgeScrolling() {
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, screenRow);
    QFETCH(QList<int>, ensured);
    MemoryList control;
    control.texts = letters(4);
    FileList list(control);
    ::drag(list, control, from, {to}, screenRow);
    QCOMPARE(control.ensuredVisible, ensured);
}

void FileListTest::movesWithoutArmingChangeNothing() {
    MemoryList control;
    control.texts = letters(3);
    FileList list(control);
    control.select(1);
    list.itemClicked();
    list.pointerMoved(MemoryList::pointOver(3), QuietRow);
    QCOMPARE(control.texts, letters(3));
}

void FileListTest::blankSpaceAndEmptyList() {
    MemoryList empty;
    FileList emptyList(empty);
    emptyList.buttonPressed();
    emptyList.itemClicked();
    emptyList.pointerMoved(QPoint(5, 5), 0);
    emptyList.buttonReleased();
    emptyList.RemoveSelectedEntry();
    QVERIFY(empty.texts.isEmpty());
    QCOMPARE(emptyList.dragEntry(), 0);

    MemoryList control;
    control.texts = letters(3);
    FileList list(control);
    control.select(1);
    list.buttonPressed();
    list.itemClicked();
    list.pointerMoved(QPoint(5, 500), 0); // below the last row
    list.pointerMoved(QPoint(5, -20), 0); // above the first row
    QCOMPARE(control.texts, letters(3));
    QVERIFY(control.ensuredVisible.isEmpty());
}

void FileListTest::laterPressWithoutClickMovesRememberedEntry() {
    // A later press that lands on no entry goes on moving the entry dragged last.
    MemoryList control;
    control.texts = letters(4);
    FileList list(control);
    ::drag(list, control, 1, {2});
    QCOMPARE(control.texts, QStringList({"b", "a", "c", "d"}));
    list.buttonPressed(); // any button; no click on an entry
    list.pointerMoved(MemoryList::pointOver(4), QuietRow);
    list.buttonReleased();
    QCOMPARE(control.texts, QStringList({"b", "d", "c", "a"}));
}

void FileListTest::removedDragEntryIsNeverTouched() {
    MemoryList control;
    control.texts = letters(3);
    FileList list(control);
    ::drag(list, control, 3, {});
    QCOMPARE(list.dragEntry(), 3);
    control.select(3);
    list.RemoveSelectedEntry();
    QCOMPARE(list.dragEntry(), 0);
    list.buttonPressed();
    list.pointerMoved(MemoryList::pointOver(1), QuietRow);
    list.pointerMoved(MemoryList::pointOver(2), QuietRow);
    list.buttonReleased();
    QCOMPARE(control.texts, QStringList({"a", "b"}));

    // Appending again makes a position 3, but it is a different entry.
    list.AppendEntry(QStringLiteral("z"));
    list.buttonPressed();
    list.pointerMoved(MemoryList::pointOver(1), QuietRow);
    list.buttonReleased();
    QCOMPARE(control.texts, QStringList({"a", "b", "z"}));
}

void FileListTest::dragEntryFollowsEarlierRemoval() {
    MemoryList control;
    control.texts = letters(4);
    FileList list(control);
    ::drag(list, control, 3, {});
    control.select(1);
    list.RemoveSelectedEntry();
    QCOMPARE(list.dragEntry(), 2); // still "c"
    list.buttonPressed();
    list.pointerMoved(MemoryList::pointOver(3), QuietRow);
    list.buttonReleased();
    QCOMPARE(control.texts, QStringList({"b", "d", "c"}));
}

void FileListTest::firstClickEndsDrops() {
    MemoryList control;
    control.texts = letters(2);
    FileList list(control);
    QVERIFY(list.acceptsDrops());
    list.buttonPressed();
    list.buttonReleased();
    QVERIFY(list.acceptsDrops()); // a press on blank space is no click on an entry
    control.select(2);
    list.itemClicked();
    QVERIFY(!list.acceptsDrops());
    list.AppendEntry(QStringLiteral("c"));
    QVERIFY(!list.acceptsDrops());
}

QTEST_GUILESS_MAIN(FileListTest)
#include "tst_filelist.moc"

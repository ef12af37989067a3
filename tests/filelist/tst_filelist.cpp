// SPDX-License-Identifier: MIT
#include "filelist/filelistmodel.h"
#include "filelist/filelistrules.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QtTest>

namespace {

// The batch, its selection and the rules over them, without a window.
struct List {
    FileListModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};
    QItemSelectionModel selection{&model};
    FileListRules rules{model, selection};
    QList<int> scrolledTo;

    explicit List(const QStringList& texts = {}) {
        model.insertEntries(1, texts);
        QObject::connect(&rules, &FileListRules::scrollRequested,
                         [this](const QModelIndex& entry) { scrolledTo << entry.row() + 1; });
    }
    QStringList texts() const {
        QStringList all;
        for (int position = 1; position <= model.count(); ++position)
            all << model.textAt(model.index(position - 1));
        return all;
    }
    void select(int position) {
        selection.setCurrentIndex(model.index(position - 1), QItemSelectionModel::ClearAndSelect);
    }
    // The pointer over the entry at the position (none there: over blank space).
    void moveOver(int position, int referenceRow) {
        rules.pointerMoved(model.index(position - 1), referenceRow);
    }
    int selected() const {
        const QModelIndexList rows = selection.selectedRows();
        return rows.isEmpty() ? 0 : rows.constFirst().row() + 1;
    }
};

QStringList letters(int count) {
    QStringList texts;
    for (int i = 0; i < count; ++i)
        texts << QString(QChar(u'a' + i));
    return texts;
}

constexpr int QuietRow = 330; // between the two scrolling bands

// Press on an entry, move over each position in turn, release.
void drag(List& list, int from, const QList<int>& over, int screenRow = QuietRow) {
    list.select(from);
    list.rules.buttonPressed();
    list.rules.itemClicked();
    for (int position : over)
        list.moveOver(position, screenRow);
    list.rules.buttonReleased();
}

} // namespace

class FileListTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void appendKeepsOrderAndDuplicates();
    void modelEdits_data();
    void modelEdits();
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
    void dragEntryFollowsEdits_data();
    void dragEntryFollowsEdits();
    void firstClickEndsDrops();
};

void FileListTest::appendKeepsOrderAndDuplicates() {
    List list;
    list.model.appendEntry(QStringLiteral("/v/a.mkv"));
    list.model.appendEntry(QStringLiteral("/v/a.mkv"));
    list.model.appendEntry(QString());
    QCOMPARE(list.texts(),
             QStringList({QStringLiteral("/v/a.mkv"), QStringLiteral("/v/a.mkv"), QString()}));
    QCOMPARE(list.model.count(), 3);
    QCOMPARE(list.model.rowCount(), 3);
    QCOMPARE(list.model.textAt(list.model.index(1)), QStringLiteral("/v/a.mkv"));
    QCOMPARE(list.model.textAt(QModelIndex()), QString());
}

// What the views see of every edit: the rows the model announces must match
// what it then holds, or a view shows stale or shifted entries.
void FileListTest::modelEdits_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("announced");
    QTest::newRow("insert at the end")
        << u"insert 4 x y"_qs << QStringList{"a", "b", "c", "x", "y"} << u"inserted 3-4"_qs;
    QTest::newRow("insert in front")
        << u"insert 1 x y"_qs << QStringList{"x", "y", "a", "b", "c"} << u"inserted 0-1"_qs;
    QTest::newRow("insert in the middle")
        << u"insert 2 x"_qs << QStringList{"a", "x", "b", "c"} << u"inserted 1-1"_qs;
    QTest::newRow("insert beyond the end") << u"insert 5 x"_qs << letters(3) << QString();
    QTest::newRow("insert nothing") << u"insert 2"_qs << letters(3) << QString();
    QTest::newRow("remove middle") << u"remove 2"_qs << QStringList{"a", "c"} << u"removed 1-1"_qs;
    QTest::newRow("remove beyond the end") << u"remove 4"_qs << letters(3) << QString();
    QTest::newRow("remove position 0") << u"remove 0"_qs << letters(3) << QString();
    // As moves, so that whatever holds an entry follows it.
    QTest::newRow("exchange") << u"exchange 1 3"_qs << QStringList{"c", "b", "a"}
                              << u"moved 2-2 to 0 moved 1-1 to 3"_qs;
    QTest::newRow("exchange neighbours")
        << u"exchange 3 2"_qs << QStringList{"a", "c", "b"} << u"moved 2-2 to 1"_qs;
    QTest::newRow("exchange out of range") << u"exchange 1 4"_qs << letters(3) << QString();
}

void FileListTest::modelEdits() {
    QFETCH(QString, edit);
    QFETCH(QStringList, expected);
    QFETCH(QString, announced);
    FileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.insertEntries(1, letters(3));
    QStringList seen;
    const auto note = [&seen](const char* what) {
        return [&seen, what](const QModelIndex&, int first, int last) {
            seen << QStringLiteral("%1 %2-%3").arg(QLatin1String(what)).arg(first).arg(last);
        };
    };
    connect(&model, &QAbstractItemModel::rowsInserted, this, note("inserted"));
    connect(&model, &QAbstractItemModel::rowsRemoved, this, note("removed"));
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [&seen](const QModelIndex& from, const QModelIndex& to) {
                seen << QStringLiteral("changed %1-%2").arg(from.row()).arg(to.row());
            });
    connect(&model, &QAbstractItemModel::rowsMoved, this,
            [&seen](const QModelIndex&, int first, int last, const QModelIndex&, int to) {
                seen << QStringLiteral("moved %1-%2 to %3").arg(first).arg(last).arg(to);
            });
    const QStringList words = edit.split(u' ');
    if (words[0] == u"insert"_qs)
        model.insertEntries(words[1].toInt(), words.mid(2));
    else if (words[0] == u"remove"_qs)
        model.removeEntry(model.index(words[1].toInt() - 1));
    else
        model.exchangeEntries(model.index(words[1].toInt() - 1), model.index(words[2].toInt() - 1));
    QStringList now;
    for (int row = 0; row < model.rowCount(); ++row)
        now << model.data(model.index(row)).toString();
    QCOMPARE(now, expected);
    QCOMPARE(seen.join(u' '), announced);
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
    List list(letters(4));
    if (selected > 0)
        list.select(selected);
    list.rules.removeSelectedEntry();
    QCOMPARE(list.texts(), expected);
    QCOMPARE(list.selected(), 0); // nothing the user never picked is selected next
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
    List list(start);
    ::drag(list, from, over);
    QCOMPARE(list.texts(), expected);
    QCOMPARE(list.selected(), selectedAfter);
    QVERIFY(!list.rules.dragging());
    QVERIFY(list.scrolledTo.isEmpty());
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
    List list(letters(4));
    ::drag(list, from, {to}, screenRow);
    QCOMPARE(list.scrolledTo, ensured);
}

void FileListTest::movesWithoutArmingChangeNothing() {
    List list(letters(3));
    list.select(1);
    list.rules.itemClicked();
    list.moveOver(3, QuietRow);
    QCOMPARE(list.texts(), letters(3));
}

void FileListTest::blankSpaceAndEmptyList() {
    List empty;
    empty.rules.buttonPressed();
    empty.rules.itemClicked();
    empty.moveOver(1, 0);
    empty.rules.buttonReleased();
    empty.rules.removeSelectedEntry();
    QVERIFY(empty.texts().isEmpty());

    List list(letters(3));
    list.select(1);
    list.rules.buttonPressed();
    list.rules.itemClicked();
    list.moveOver(0, 0); // over no entry
    list.moveOver(4, 0); // beyond the last entry
    QCOMPARE(list.texts(), letters(3));
    QVERIFY(list.scrolledTo.isEmpty());
}

void FileListTest::laterPressWithoutClickMovesRememberedEntry() {
    // A later press that lands on no entry goes on moving the entry dragged last.
    List list(letters(4));
    ::drag(list, 1, {2});
    QCOMPARE(list.texts(), QStringList({"b", "a", "c", "d"}));
    list.rules.buttonPressed(); // any button; no click on an entry
    list.moveOver(4, QuietRow);
    list.rules.buttonReleased();
    QCOMPARE(list.texts(), QStringList({"b", "d", "c", "a"}));
}

void FileListTest::removedDragEntryIsNeverTouched() {
    List list(letters(3));
    ::drag(list, 3, {});
    list.select(3);
    list.rules.removeSelectedEntry();
    list.rules.buttonPressed();
    list.moveOver(1, QuietRow);
    list.moveOver(2, QuietRow);
    list.rules.buttonReleased();
    QCOMPARE(list.texts(), QStringList({"a", "b"}));

    // Appending again makes a position 3, but it is a different entry.
    list.model.appendEntry(QStringLiteral("z"));
    list.rules.buttonPressed();
    list.moveOver(1, QuietRow);
    list.rules.buttonReleased();
    QCOMPARE(list.texts(), QStringList({"a", "b", "z"}));
}

void FileListTest::dragEntryFollowsEdits_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<int>("hover");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("removal above") << u"remove"_qs << 3 << QStringList({"b", "d", "c"});
    // A walk's chunk above the clicked entry once made the next drag move another one.
    QTest::newRow("insertion above")
        << u"insert"_qs << 6 << QStringList({"x", "y", "a", "b", "d", "c"});
}

void FileListTest::dragEntryFollowsEdits() {
    QFETCH(QString, edit);
    QFETCH(int, hover);
    QFETCH(QStringList, expected);
    List list(letters(4));
    ::drag(list, 3, {});
    if (edit == u"remove"_qs) {
        list.select(1);
        list.rules.removeSelectedEntry();
    } else {
        list.model.insertEntries(1, {u"x"_qs, u"y"_qs});
    }
    list.rules.buttonPressed();
    list.moveOver(hover, QuietRow);
    list.rules.buttonReleased();
    QCOMPARE(list.texts(), expected);
}

void FileListTest::firstClickEndsDrops() {
    List list(letters(2));
    QVERIFY(list.rules.acceptsDrops());
    list.rules.buttonPressed();
    list.rules.buttonReleased();
    QVERIFY(list.rules.acceptsDrops()); // a press on blank space is no click on an entry
    list.select(2);
    list.rules.itemClicked();
    QVERIFY(!list.rules.acceptsDrops());
    list.model.appendEntry(QStringLiteral("c"));
    QVERIFY(!list.rules.acceptsDrops());
}

QTEST_GUILESS_MAIN(FileListTest)
#include "tst_filelist.moc"

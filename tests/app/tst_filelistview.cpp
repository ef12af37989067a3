// SPDX-License-Identifier: MIT
// The list widget driven with real Qt mouse events, so the order in which Qt
// reports press, moves, release and double-click is covered, not only the rules.

#include "app/filelistview.h"
#include "filelist/filelistmodel.h"
#include "filelist/filelistrules.h"

#include <QTemporaryDir>
#include <QtTest>

#include "listtexts.h"

class FileListViewTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void cleanup();
    void mouseDragReorders_data();
    void mouseDragReorders();
    void doubleClickRemovesSelected_data();
    void doubleClickRemovesSelected();
    void dragPointerDuringGesture_data();
    void dragPointerDuringGesture();
    void clickEndsDrops();

  private:
    QPoint centreOf(int position) const {
        return m_view->visualRect(m_list->index(position - 1)).center();
    }
    QWidget* surface() const { return m_view->viewport(); }
    const FileListRules& rules() const { return *m_view->findChild<FileListRules*>(); }

    QTemporaryDir m_programFolder;
    std::unique_ptr<FileListModel> m_list; // outlives the view that shows it
    std::unique_ptr<FileListView> m_view;
};

void FileListViewTest::init() {
    m_list = std::make_unique<FileListModel>();
    m_view = std::make_unique<FileListView>(*m_list, m_programFolder.path());
    m_view->resize(425, 300);
    for (const char* name : {"a.mkv", "b.mkv", "c.mkv", "d.mkv"})
        m_list->appendEntry(QLatin1String(name));
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

void FileListViewTest::cleanup() {
    m_view.reset();
    m_list.reset();
}

void FileListViewTest::mouseDragReorders_data() {
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("from");
    QTest::addColumn<QList<int>>("over");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("left, slow, downwards") << Qt::LeftButton << 1 << QList<int>{2, 3}
                                           << QStringList{"b.mkv", "c.mkv", "a.mkv", "d.mkv"};
    QTest::newRow("left, jump") << Qt::LeftButton << 4 << QList<int>{1}
                                << QStringList{"d.mkv", "b.mkv", "c.mkv", "a.mkv"};
    QTest::newRow("right button arms too")
        << Qt::RightButton << 3 << QList<int>{2} << QStringList{"a.mkv", "c.mkv", "b.mkv", "d.mkv"};
}

void FileListViewTest::mouseDragReorders() {
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, from);
    QFETCH(QList<int>, over);
    QFETCH(QStringList, expected);
    QTest::mousePress(surface(), button, Qt::NoModifier, centreOf(from));
    for (int position : over)
        QTest::mouseMove(surface(), centreOf(position));
    QTest::mouseRelease(surface(), button, Qt::NoModifier, centreOf(over.constLast()));
    QCOMPARE(texts(*m_list), expected);
    QCOMPARE(m_view->currentIndex().data().toString(), expected.at(over.constLast() - 1));
    QVERIFY(!rules().dragging());

    // Moves after the release leave the order alone.
    QTest::mouseMove(surface(), centreOf(1));
    QTest::mouseMove(surface(), centreOf(4));
    QCOMPARE(texts(*m_list), expected);
}

void FileListViewTest::doubleClickRemovesSelected_data() {
    QTest::addColumn<bool>("onBlankSpace");
    QTest::newRow("on the entry") << false;
    QTest::newRow("on blank space") << true;
}

void FileListViewTest::doubleClickRemovesSelected() {
    QFETCH(bool, onBlankSpace);
    QTest::mouseClick(surface(), Qt::LeftButton, Qt::NoModifier, centreOf(2));
    const QPoint where = onBlankSpace ? QPoint(20, surface()->height() - 5) : centreOf(2);
    QTest::mouseDClick(surface(), Qt::LeftButton, Qt::NoModifier, where);
    QCOMPARE(texts(*m_list), QStringList({"a.mkv", "c.mkv", "d.mkv"}));

    // The removal leaves nothing selected, so a second double-click removes nothing.
    QVERIFY(m_view->selectionModel()->selectedRows().isEmpty());
    QTest::mouseDClick(surface(), Qt::LeftButton, Qt::NoModifier,
                       QPoint(20, surface()->height() - 5));
    QCOMPARE(texts(*m_list), QStringList({"a.mkv", "c.mkv", "d.mkv"}));
}

void FileListViewTest::dragPointerDuringGesture_data() {
    QTest::addColumn<bool>("withPicture");
    QTest::newRow("drag.ico beside the program") << true;
    QTest::newRow("drag.ico missing") << false;
}

void FileListViewTest::dragPointerDuringGesture() {
    QFETCH(bool, withPicture);
    if (withPicture)
        QVERIFY(QFile::copy(QStringLiteral(QUORVANE_BIN_DIR "/drag.ico"),
                            m_programFolder.filePath(QStringLiteral("drag.ico"))));
    else
        QFile::remove(m_programFolder.filePath(QStringLiteral("drag.ico")));
    QTest::mousePress(surface(), Qt::LeftButton, Qt::NoModifier, centreOf(1));
    QCOMPARE(surface()->cursor().shape(), withPicture ? Qt::BitmapCursor : Qt::DragMoveCursor);
    QTest::mouseRelease(surface(), Qt::LeftButton, Qt::NoModifier, centreOf(1));
    QCOMPARE(surface()->cursor().shape(), Qt::ArrowCursor);
}

void FileListViewTest::clickEndsDrops() {
    QVERIFY(m_view->acceptDrops());
    QTest::mouseClick(surface(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(20, surface()->height() - 5));
    QVERIFY(m_view->acceptDrops()); // blank space is no entry
    QTest::mouseClick(surface(), Qt::LeftButton, Qt::NoModifier, centreOf(3));
    QVERIFY(!m_view->acceptDrops());
    QVERIFY(!rules().acceptsDrops());
}

QTEST_MAIN(FileListViewTest)
#include "tst_filelistview.moc"

// SPDX-License-Identifier: MIT
#include "common/cursorfile.h"
#include "common/homepage.h"
#include "common/windowops.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class WindowOpsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void centeredPosition_data();
    void centeredPosition();
    void referenceScreenRow_data();
    void referenceScreenRow();
    void fileExists();
    void homePageOpensOnlyOnSeven_data();
    void homePageOpensOnlyOnSeven();
    void clockDrawStaysInRange();
    void cursorHotspot_data();
    void cursorHotspot();
};

void WindowOpsTest::centeredPosition_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("even") << QSize(1280, 1024) << QSize(440, 256) << QPoint(420, 384);
    QTest::newRow("odd halves go down") << QSize(1280, 1024) << QSize(441, 257) << QPoint(419, 383);
    QTest::newRow("exact fit") << QSize(441, 257) << QSize(441, 257) << QPoint(0, 0);
    QTest::newRow("larger than screen") << QSize(400, 200) << QSize(600, 300) << QPoint(-100, -50);
    QTest::newRow("larger by odd amount") << QSize(400, 200) << QSize(441, 257) << QPoint(-21, -29);
}

void WindowOpsTest::centeredPosition() {
    QFETCH(QSize, screen);
    QFETCH(QSize, window);
    QFETCH(QPoint, expected);
    QCOMPARE(::centeredPosition(screen, window), expected);
}

void WindowOpsTest::referenceScreenRow_data() {
    QTest::addColumn<int>("clientTop");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<int>("screenRow");
    QTest::addColumn<int>("expected");
    // The client area centred on 1024x768 has its top at 255, whether a frame
    // and a title bar stand above it or not.
    QTest::newRow("centred on the reference screen") << 255 << QSize(441, 257) << 305 << 305;
    QTest::newRow("centred on 1920x1080") << 411 << QSize(441, 257) << 461 << 305;
    QTest::newRow("taller client, odd half") << 255 << QSize(441, 261) << 305 << 303;
}

void WindowOpsTest::referenceScreenRow() {
    QFETCH(int, clientTop);
    QFETCH(QSize, client);
    QFETCH(int, screenRow);
    QFETCH(int, expected);
    QCOMPARE(::referenceScreenRow(screenRow, clientTop, client), expected);
}

void WindowOpsTest::fileExists() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString present = dir.filePath(QStringLiteral("present.mkv"));
    QFile file(present);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(::fileExists(present));
    QVERIFY(::fileExists(dir.path())); // a folder has a time of last change too
    QVERIFY(!::fileExists(dir.filePath(QStringLiteral("missing.mkv"))));
    QVERIFY(!::fileExists(QString()));
    QVERIFY(!::fileExists(dir.filePath(QStringLiteral("bad\0name"))));

    // Readability is not asked: a file nobody may read still exists.
    QVERIFY(file.setPermissions(QFileDevice::Permissions()));
    QVERIFY(::fileExists(present));

    // Inside a folder that may not be searched, the date query fails.
    const QString locked = dir.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkdir(locked));
    QFile inner(locked + QStringLiteral("/inner.mkv"));
    QVERIFY(inner.open(QIODevice::WriteOnly));
    inner.close();
    QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
    const bool searchable = QFileInfo::exists(locked + QStringLiteral("/inner.mkv"));
    if (!searchable)
        QVERIFY(!::fileExists(locked + QStringLiteral("/inner.mkv")));
    QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner));
    if (searchable)
        QSKIP("Running with privileges that ignore folder permissions");
}

void WindowOpsTest::homePageOpensOnlyOnSeven_data() {
    QTest::addColumn<QUrl>("address");
    QTest::newRow("an address") << QUrl(QStringLiteral("https://quorvane.example.org/"));
    QTest::newRow("empty address turns the visit off") << QUrl();
}

void WindowOpsTest::homePageOpensOnlyOnSeven() {
    QFETCH(QUrl, address);
    for (int draw = 1; draw <= 100; ++draw) {
        QList<QUrl> opened;
        const bool visited =
            HomePageVisit([draw] { return draw; }, [&](const QUrl& url) { opened << url; }, address)
                .run();
        const bool expected = draw == 7 && !address.isEmpty();
        QCOMPARE(visited, expected);
        QCOMPARE(opened.size(), expected ? 1 : 0);
        if (expected)
            QCOMPARE(opened.constFirst(), address);
    }
    // The build's own address is either off or a whole web address.
    if (!HomePageVisit::address().isEmpty()) {
        QVERIFY(HomePageVisit::address().isValid());
        QVERIFY(!HomePageVisit::address().isRelative());
    }
}

void WindowOpsTest::clockDrawStaysInRange() {
    for (int i = 0; i < 50; ++i) {
        const int draw = HomePageVisit::drawFromClock();
        QVERIFY2(draw >= 1 && draw <= 100, qPrintable(QString::number(draw)));
    }
}

void WindowOpsTest::cursorHotspot_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QPoint>("expected"); // (-1,-1) for no hotspot
    const auto header = [](quint16 type, quint16 x, quint16 y) {
        QByteArray bytes(22, '\0');
        bytes[2] = char(type);
        bytes[4] = 1;
        bytes[6] = 32;
        bytes[7] = 32;
        bytes[10] = char(x & 0xff);
        bytes[11] = char(x >> 8);
        bytes[12] = char(y & 0xff);
        bytes[13] = char(y >> 8);
        return bytes;
    };
    QTest::newRow("cursor") << header(2, 9, 3) << QPoint(9, 3);
    QTest::newRow("wide values") << header(2, 300, 1) << QPoint(300, 1);
    QTest::newRow("icon is no cursor") << header(1, 9, 3) << QPoint(-1, -1);
    QTest::newRow("truncated") << header(2, 9, 3).left(21) << QPoint(-1, -1);
    QTest::newRow("empty") << QByteArray() << QPoint(-1, -1);
}

void WindowOpsTest::cursorHotspot() {
    QFETCH(QByteArray, bytes);
    QFETCH(QPoint, expected);
    QCOMPARE(::cursorHotspot(bytes).value_or(QPoint(-1, -1)), expected);
}

QTEST_GUILESS_MAIN(WindowOpsTest)
#include "tst_windowops.moc"

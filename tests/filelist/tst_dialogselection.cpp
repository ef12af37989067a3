// SPDX-License-Identifier: MIT
// The open dialog's answer, from its text form to entry texts, and the way
// the toolkit's list of paths is brought into that form.

#include "filelist/dialogselection.h"

#include <QtTest>

namespace {

// Builds a result text; "|" stands for the NUL that separates the pieces.
QString result(const char* text) {
    return QString::fromUtf8(text).replace(QLatin1Char('|'), QChar(u'\0'));
}

} // namespace

class DialogSelectionTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void split_data();
    void split();
    void resultText_data();
    void resultText();
    void toolkitAnswerRoundTrip_data();
    void toolkitAnswerRoundTrip();
};

void DialogSelectionTest::split_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty: nothing chosen") << QString() << QStringList{};
    QTest::newRow("one path") << result("/v/films/a.mkv") << QStringList{"/v/films/a.mkv"};
    QTest::newRow("one path keeps doubled separators")
        << result("/v//films///a.mkv") << QStringList{"/v//films///a.mkv"};
    QTest::newRow("one network path")
        << result("//srv/share/a.mkv") << QStringList{"//srv/share/a.mkv"};
    QTest::newRow("several names, dialog order, any type")
        << result("/v/films|c.mkv|a.MKV|notes.txt")
        << QStringList{"/v/films/c.mkv", "/v/films/a.MKV", "/v/films/notes.txt"};
    QTest::newRow("same name twice")
        << result("/v|a.mkv|a.mkv") << QStringList{"/v/a.mkv", "/v/a.mkv"};
    QTest::newRow("root folder: the doubled join collapses")
        << result("/|a.mkv|b.mkv") << QStringList{"/a.mkv", "/b.mkv"};
    QTest::newRow("network folder keeps its leading pair")
        << result("//srv/share|a.mkv|b.mkv")
        << QStringList{"//srv/share/a.mkv", "//srv/share/b.mkv"};
    QTest::newRow("network share root")
        << result("//srv/share/|a.mkv") << QStringList{"//srv/share/a.mkv"};
    QTest::newRow("network folder, doubled separator further in")
        << result("//srv/share//x|a.mkv") << QStringList{"//srv/share/x/a.mkv"};
    QTest::newRow("three leading separators are no network folder")
        << result("///v|a.mkv") << QStringList{"//v/a.mkv"};
    QTest::newRow("one pass: three become two, four become two")
        << result("/v///w|a////b.mkv") << QStringList{"/v//w/a//b.mkv"};
    QTest::newRow("trailing NUL gives the folder with a separator")
        << result("/v|a.mkv|") << QStringList{"/v/a.mkv", "/v/"};
    QTest::newRow("folder and an empty piece only") << result("/v|") << QStringList{"/v/"};
    QTest::newRow("spaces, quotes and other scripts kept")
        << result("/my films|\"x\" y.mkv|фильм.mkv")
        << QStringList{"/my films/\"x\" y.mkv", "/my films/фильм.mkv"};
}

void DialogSelectionTest::split() {
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(splitDialogSelection(text), expected);
}

void DialogSelectionTest::resultText_data() {
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QString>("expected");

    QTest::newRow("cancel") << QStringList{} << QString();
    QTest::newRow("one file, as given") << QStringList{"/v//a.mkv"} << result("/v//a.mkv");
    QTest::newRow("folder without trailing separator")
        << QStringList{"/v/films/b.mkv", "/v/films/a.mkv"} << result("/v/films|b.mkv|a.mkv");
    QTest::newRow("root keeps its separator")
        << QStringList{"/a.mkv", "/b.mkv"} << result("/|a.mkv|b.mkv");
    QTest::newRow("folder names sharing a beginning")
        << QStringList{"/v/ab/x.mkv", "/v/abc/y.mkv"} << result("/v|ab/x.mkv|abc/y.mkv");
}

void DialogSelectionTest::resultText() {
    QFETCH(QStringList, chosen);
    QFETCH(QString, expected);
    QCOMPARE(dialogResultText(chosen), expected);
}

void DialogSelectionTest::toolkitAnswerRoundTrip_data() {
    QTest::addColumn<QStringList>("chosen");

    QTest::newRow("cancel") << QStringList{};
    QTest::newRow("one file") << QStringList{"/home/u/v/a.mkv"};
    QTest::newRow("several in one folder")
        << QStringList{"/home/u/v/c.mkv", "/home/u/v/a.mkv", "/home/u/v/b.txt"};
    QTest::newRow("root folder") << QStringList{"/a.mkv", "/b.mkv"};
    QTest::newRow("typed name with a folder part")
        << QStringList{"/home/u/v/sub/a.mkv", "/home/u/v/b.mkv"};
    QTest::newRow("only the root shared") << QStringList{"/srv/a.mkv", "/home/b.mkv"};
    QTest::newRow("same file twice") << QStringList{"/v/a.mkv", "/v/a.mkv"};
    QTest::newRow("other scripts") << QStringList{"/v/фильм 1.mkv", "/v/映画.mkv"};
}

void DialogSelectionTest::toolkitAnswerRoundTrip() {
    // Clean absolute paths come back from the text form exactly as chosen.
    QFETCH(QStringList, chosen);
    QCOMPARE(splitDialogSelection(dialogResultText(chosen)), chosen);
}

QTEST_GUILESS_MAIN(DialogSelectionTest)
#include "tst_dialogselection.moc"

// SPDX-License-Identifier: MIT
// The command line: what it adds to the window's list, in its order, and the
// real program's ends for help, version and mistakes.

#include "app/commandline.h"
#include "app/messages.h"
#include "common/systemmemory.h"
#include "convert/encoderslots.h"
#include "foldertree.h"
#include "listtexts.h"
#include "testservices.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class CommandLineTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(installProgramTexts(*qApp));
        QVERIFY(m_root.isValid());
        QVERIFY(
            makeTree(m_root.path(), {"a.mkv", "b.mkv", "-x.mkv", "films/b.mkv", "films/A.mkv",
                                     "films/~part.mkv", "films/notes.txt", "films/.hidden/no.mkv",
                                     "films/deep/c.MKV", "more/d.mkv"}));
    }
    void arguments_data();
    void arguments();
    void jobs_data();
    void jobs();

  private:
    QTemporaryDir m_root; // also the current folder
};

void CommandLineTest::arguments_data() {
    QTest::addColumn<QByteArrayList>("arguments"); // "<root>" stands for the root
    QTest::addColumn<int>("exitCode");             // -1: the window opens
    QTest::addColumn<QString>("printed");          // standard output for 0, else standard error
    QTest::addColumn<QStringList>("entries");      // the list once all is in
    QTest::addColumn<int>("atOnce");               // of them, in before the event loop runs
    QTest::addColumn<QString>("told");             // in the one message shown, if any

    const QStringList films{"<root>/films/A.mkv", "<root>/films/b.mkv", "<root>/films/deep/c.MKV"};
    QTest::newRow("files in order")
        << QByteArrayList{"b.mkv", "<root>/a.mkv", "./a.mkv"} << -1 << ""
        << QStringList{"<root>/b.mkv", "<root>/a.mkv", "<root>/./a.mkv"} << 3 << "";
    QTest::newRow("folder") << QByteArrayList{"./films/"} << -1 << "" << films << 0 << "";
    QTest::newRow("files and folders")
        << QByteArrayList{"b.mkv", "films", "a.mkv", "more", "a.mkv"} << -1 << ""
        << QStringList{"<root>/b.mkv"} + films +
               QStringList{"<root>/a.mkv", "<root>/more/d.mkv", "<root>/a.mkv"}
        << 1 << "";
    QTest::newRow("dash name after --")
        << QByteArrayList{"--", "-x.mkv"} << -1 << "" << QStringList{"<root>/-x.mkv"} << 1 << "";
    QTest::newRow("missing and empty") << QByteArrayList{"gone.mkv", ""} << -1 << ""
                                       << QStringList{"<root>/gone.mkv", ""} << 2 << "";
    QTest::newRow("not UTF-8") << QByteArrayList{"a.mkv", "bad\xff.mkv"} << -1 << ""
                               << QStringList{"<root>/a.mkv"} << 1 << "1 file was left out";
    QTest::newRow("unknown option") << QByteArrayList{"a.mkv", "-x.mkv"} << 2
                                    << "Unknown option 'x.mkv'." << QStringList{} << 0 << "";
    QTest::newRow("wrong --jobs") << QByteArrayList{"a.mkv", "-j", "0"} << 2
                                  << "or \"auto\", not \"0\"." << QStringList{} << 0 << "";
    QTest::newRow("--convert, nothing to convert")
        << QByteArrayList{"--convert", "-j", "2"} << 2 << "--convert needs a file" << QStringList{}
        << 0 << "";
    QTest::newRow("--json without --convert")
        << QByteArrayList{"--json", "a.mkv"} << 2 << "--json goes with --convert" << QStringList{}
        << 0 << "";
    QTest::newRow("help") << QByteArrayList{"-h"} << 0
                          << "Usage: quorvane [options] [file-or-folder...]" << QStringList{} << 0
                          << "";
    QTest::newRow("version") << QByteArrayList{"--version"} << 0
                             << "Quorvane " QUORVANE_VERSION "\n"
                             << QStringList{} << 0 << "";
}

void CommandLineTest::arguments() {
    QFETCH(QByteArrayList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, printed);
    QFETCH(QStringList, entries);
    QFETCH(int, atOnce);
    QFETCH(QString, told);
    for (QByteArray& argument : arguments)
        argument.replace("<root>", QFile::encodeName(m_root.path()));
    entries.replaceInStrings(QStringLiteral("<root>"), m_root.path());
    const CommandLine line =
        parseCommandLine(QByteArrayList{"quorvane"} + arguments, m_root.path());
    QCOMPARE(line.exitCode.value_or(-1), exitCode);

    if (exitCode >= 0) {
        // The real program, with no display it could open a window on.
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
        program.setProcessEnvironment(environment);
        QStringList texts;
        for (const QByteArray& argument : arguments)
            texts << QString::fromUtf8(argument);
        program.start(QStringLiteral(QUORVANE_EXE), texts);
        QVERIFY(program.waitForFinished(20000));
        const QString output = QString::fromUtf8(program.readAllStandardOutput());
        const QString errors = QString::fromUtf8(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), exitCode);
        QVERIFY2((exitCode == 0 ? output : errors).contains(printed), qPrintable(output + errors));
        QVERIFY2((exitCode == 0 ? errors : output).isEmpty(), qPrintable(output + errors));
        return;
    }
    ScriptedDialogs dialogs;
    TestForm1 form(testServices(m_root.path(), &dialogs));
    form.openPaths(line.paths, line.leftOut);
    QCOMPARE(texts(fileList(form)), entries.mid(0, atOnce));
    QCOMPARE(form.cursor().shape(), atOnce < entries.size() ? Qt::WaitCursor : Qt::ArrowCursor);
    QTRY_COMPARE_WITH_TIMEOUT(texts(fileList(form)), entries, 20000);
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(dialogs.messages.size(), told.isEmpty() ? 0 : 1);
    if (!told.isEmpty())
        QVERIFY2(dialogs.messages.constFirst().text.contains(told),
                 qPrintable(dialogs.messages.constFirst().text));
}

void CommandLineTest::jobs_data() {
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<int>("encoders"); // 0: a mistake, which ends the program
    QTest::newRow("absent") << QByteArrayList{"a.mkv"} << 1;
    QTest::newRow("--jobs") << QByteArrayList{"--jobs", "3", "a.mkv"} << 3;
    QTest::newRow("-j, the most") << QByteArrayList{"-j", "64"} << 64;
    QTest::newRow("auto") << QByteArrayList{"--jobs=auto"}
                          << automaticEncoders(QThread::idealThreadCount(), availableMemory());
    for (const char* wrong : {"0", "-1", "two", "", "65", "+4", "99999999999"})
        QTest::addRow("\"%s\"", wrong) << QByteArrayList{"--jobs", wrong} << 0;
}

void CommandLineTest::jobs() {
    QFETCH(QByteArrayList, arguments);
    QFETCH(int, encoders);
    const CommandLine line = parseCommandLine(QByteArrayList{"q"} + arguments, m_root.path());
    QCOMPARE(line.exitCode == 2 ? 0 : line.encoders, encoders);
}

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"

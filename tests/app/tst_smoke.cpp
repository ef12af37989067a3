// SPDX-License-Identifier: MIT
// Starts the real program on the test's own X server and looks at its window
// from outside, the way a window manager would see it.

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString runTool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(10000) || tool.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}

int field(const QString& info, const QString& label) {
    const QRegularExpression pattern(QRegularExpression::escape(label) +
                                     QStringLiteral(":\\s+(-?\\d+)"));
    const auto match = pattern.match(info);
    return match.hasMatch() ? match.captured(1).toInt() : INT_MIN;
}

} // namespace

class SmokeTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void windowOpensCentred();
};

void SmokeTest::windowOpensCentred() {
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    const QString xwininfo = QStandardPaths::findExecutable(QStringLiteral("xwininfo"));
    if (xdotool.isEmpty() || xwininfo.isEmpty())
        QFAIL("xdotool and xwininfo (packages xdotool, x11-utils) are needed");

    // An empty PATH: whatever the start-up draw, no browser can be started.
    QTemporaryDir emptyPath;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), emptyPath.path());
    environment.remove(QStringLiteral("BROWSER"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(QUORVANE_EXE), {});
    QVERIFY2(program.waitForStarted(10000), qPrintable(program.errorString()));

    QString windowId;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(windowId = runTool(xdotool, {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                       QStringLiteral("--name"), QStringLiteral("^Quorvane$")})
                         .trimmed())
             .isEmpty(),
        20000);
    windowId = windowId.section(QLatin1Char('\n'), 0, 0);

    QString info;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(info = runTool(xwininfo, {QStringLiteral("-id"), windowId})).isEmpty(), 10000);
    QVERIFY2(info.contains(QStringLiteral("\"Quorvane\"")), qPrintable(info));
    QCOMPARE(field(info, QStringLiteral("Width")), 441);
    QCOMPARE(field(info, QStringLiteral("Height")), 257);

    // No window manager runs here, so the outer frame is the client area.
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    QCOMPARE(field(info, QStringLiteral("Absolute upper-left X")), (screen.width() - 441) / 2);
    QCOMPARE(field(info, QStringLiteral("Absolute upper-left Y")), (screen.height() - 257) / 2);

    QCOMPARE(program.state(), QProcess::Running);
    program.terminate();
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished(5000);
    }
}

QTEST_MAIN(SmokeTest)
#include "tst_smoke.moc"

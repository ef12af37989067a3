// SPDX-License-Identifier: MIT
#pragma once

// The real mouse, driven from outside with xdotool, on the test's own X server.

#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>

inline QString xdotoolPath() {
    return QStandardPaths::findExecutable(QStringLiteral("xdotool"));
}

// Runs xdotool while this process keeps answering the X server.
inline bool xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start(xdotoolPath(), arguments);
    const QDeadlineTimer deadline(20000);
    while (tool.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(5);
    if (tool.state() != QProcess::NotRunning) {
        tool.kill();
        tool.waitForFinished(2000);
        return false;
    }
    return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

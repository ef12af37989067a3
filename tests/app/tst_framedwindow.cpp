// SPDX-License-Identifier: MIT
// The main window under a real window manager (openbox), which puts a frame
// and a title bar around it only after it is shown: the frame is what must be
// centred.

#include "app/form1.h"
#include "common/windowops.h"
#include "testservices.h"

#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

class FramedWindowTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void frameCentred();
};

void FramedWindowTest::frameCentred() {
    const QString openbox = QStandardPaths::findExecutable(u"openbox"_qs);
    if (openbox.isEmpty())
        QSKIP("openbox (package openbox) is needed to frame the window");
    QTemporaryDir home;
    QProcess windowManager;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_qs, home.path());
    environment.insert(u"XDG_CONFIG_HOME"_qs, home.path());
    windowManager.setProcessEnvironment(environment);
    windowManager.start(openbox, {u"--sm-disable"_qs});
    const auto stop = qScopeGuard([&windowManager] {
        windowManager.terminate();
        if (!windowManager.waitForFinished(5000))
            windowManager.kill();
        windowManager.waitForFinished(5000);
    });
    QVERIFY2(windowManager.waitForStarted(10000), qPrintable(windowManager.errorString()));

    // The manager is up once it has framed a window of ours.
    QWidget probe;
    probe.resize(100, 100);
    probe.show();
    QTRY_VERIFY_WITH_TIMEOUT(!probe.windowHandle()->frameMargins().isNull(), 10000);
    probe.hide();

    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    TestForm1 form(testServices(folder.path(), &dialogs));
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(form.frameGeometry().height() - form.height() > 2, 10000);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const auto offCentre = [&form, screen] {
        return form.frameGeometry().topLeft() -
               centeredPosition(screen, form.frameGeometry().size());
    };
    QTRY_VERIFY2_WITH_TIMEOUT(
        qAbs(offCentre().x()) <= 1 && qAbs(offCentre().y()) <= 1,
        qPrintable(u"frame %1 px right, %2 px down of the centre"_qs.arg(offCentre().x())
                       .arg(offCentre().y())),
        5000);
}

QTEST_MAIN(FramedWindowTest)
#include "tst_framedwindow.moc"

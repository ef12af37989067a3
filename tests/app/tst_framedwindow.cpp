// SPDX-License-Identifier: MIT
// The main window under a real window manager (openbox, started by the test's
// runner), which puts a frame and a title bar around it only after it is
// shown: the frame is what must be centred.

#include "app/form1.h"
#include "common/windowops.h"
#include "testservices.h"

#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

class FramedWindowTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void frameCentred();
};

void FramedWindowTest::frameCentred() {
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

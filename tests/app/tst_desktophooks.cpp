// SPDX-License-Identifier: MIT
// What the desktop hears of a run, on a private session bus (dbus-run-session):
// the task bar entry's progress, and a sleep inhibitor lock held until the end,
// taken from a stand-in for logind.

#include "app/form1.h"
#include "fakeencoder.h"
#include "testservices.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <poll.h>
#include <unistd.h>

namespace {

// Hands out one end of a pipe as the lock; the other end shows when every copy
// of the lock is closed.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
  public:
    ~FakeLogind() override {
        if (m_watch >= 0)
            ::close(m_watch);
    }
    QStringList asked;
    bool lockReleased() const {
        pollfd end{m_watch, POLLIN, 0};
        return m_watch >= 0 && ::poll(&end, 1, 0) == 1 && (end.revents & POLLHUP);
    }

  public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode) {
        asked << what << who << why << mode;
        int ends[2];
        if (::pipe(ends) != 0)
            return {};
        m_watch = ends[0];
        QDBusUnixFileDescriptor lock(ends[1]); // a copy of its own
        ::close(ends[1]);
        return lock;
    }

  private:
    int m_watch = -1;
};

// Records the task bar updates it hears.
class UpdateListener : public QObject {
    Q_OBJECT
  public:
    QStringList heard;
  public Q_SLOTS:
    void update(const QString& application, const QVariantMap& properties) {
        heard << application + QStringLiteral(" %1 %2")
                                   .arg(properties.value(u"progress"_qs).toDouble(), 0, 'f', 2)
                                   .arg(properties.value(u"progress-visible"_qs).toBool());
    }
};

} // namespace

class DesktopHooksTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void runIsHeard();
};

void DesktopHooksTest::runIsHeard() {
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a session bus of its own: run it under dbus-run-session (package "
              "dbus-daemon)");
    // The stand-in for logind sits on a connection of its own, as a service would.
    QDBusConnection service =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"login1"_qs);
    FakeLogind logind;
    QVERIFY(service.registerService(u"org.freedesktop.login1"_qs));
    QVERIFY(service.registerObject(u"/org/freedesktop/login1"_qs, &logind,
                                   QDBusConnection::ExportAllSlots));
    UpdateListener listener;
    QDBusConnection watcher =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"dock"_qs);
    QVERIFY(watcher.connect(QString(), QString(), u"com.canonical.Unity.LauncherEntry"_qs,
                            u"Update"_qs, &listener, SLOT(update(QString, QVariantMap))));

    QGuiApplication::setDesktopFileName(u"org.example.quorvane"_qs);
    FakeEncoder fake;
    ScriptedDialogs dialogs;
    Form1Services services = testServices(fake.programFolder(), &dialogs);
    services.systemBus = [] { return QDBusConnection::sessionBus(); };
    TestForm1 form(std::move(services));
    for (const char* name : {"a.mkv", "b.mkv"})
        fileList(form).appendEntry(
            fake.source(QLatin1String(name), {u"duration=20.00"_qs, u"sleep=700"_qs}));
    form.findChild<QPushButton*>(u"Check2"_qs)->click();

    QTRY_COMPARE_WITH_TIMEOUT(
        logind.asked,
        QStringList({u"sleep"_qs, u"Quorvane"_qs, u"Converting videos"_qs, u"block"_qs}), 10000);
    QVERIFY(!logind.lockReleased());
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.messages.size(), 1, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(logind.lockReleased(), 5000);
    QCOMPARE(progressBar(form).toolTip(), QString());

    // Rising through the batch, then taken off the entry.
    QTRY_VERIFY_WITH_TIMEOUT(
        !listener.heard.isEmpty() && listener.heard.constLast().endsWith(u" 0.00 0"), 5000);
    double last = -1.0;
    for (const QString& update : listener.heard.first(listener.heard.size() - 1)) {
        QVERIFY2(update.startsWith(u"application://org.example.quorvane.desktop "_qs) &&
                     update.endsWith(u" 1"_qs),
                 qPrintable(update));
        const double progress = update.section(u' ', 1, 1).toDouble();
        QVERIFY2(progress >= last && progress <= 1.0, qPrintable(listener.heard.join(u'|')));
        last = progress;
    }
    QVERIFY2(listener.heard.size() >= 4 && last >= 0.5, qPrintable(listener.heard.join(u'|')));
}

QTEST_MAIN(DesktopHooksTest)
#include "tst_desktophooks.moc"

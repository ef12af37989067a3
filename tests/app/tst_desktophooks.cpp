// SPDX-License-Identifier: MIT
// What the desktop hears of a run, on a private session bus (dbus-run-session):
// the task bar entry's progress, a sleep inhibitor lock held until the end,
// taken from a stand-in for logind, the job tray's view, and the notification
// at the end, told to stand-ins for the services.

#include "app/form1.h"
#include "app/messages.h"
#include "convert/outputnaming.h"
#include "fakeencoder.h"
#include "testservices.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
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

// The notification service, and the desktop portal's notifications: each
// notification as "id|replaced|summary|body|default action|desktop entry".
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    QStringList shown;
  public Q_SLOTS:
    uint Notify(const QString& app, uint replaces, const QString&, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int) {
        shown << QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                     .arg(++m_last)
                     .arg(replaces)
                     .arg(app, summary, body)
                     .arg(actions.value(0), hints.value(u"desktop-entry"_qs).toString());
        return m_last;
    }

  private:
    uint m_last = 40;
};

class FakePortalNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Notification")
  public:
    QStringList shown;
  public Q_SLOTS:
    void AddNotification(const QString& id, const QVariantMap& notice) {
        shown << QStringList{id, notice.value(u"title"_qs).toString(),
                             notice.value(u"body"_qs).toString(),
                             notice.value(u"default-action"_qs).toString()}
                     .join(u'|');
    }
};

// Plasma's job view server, and the one view it hands out: each call it heard.
class FakeJobView : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.JobViewV3")
  public:
    QList<QVariantMap> updates;
    QStringList ends;
  public Q_SLOTS:
    void update(const QVariantMap& fields) { updates << fields; }
    void terminate(uint code, const QString& message, const QVariantMap&) {
        ends << QString::number(code) + u'|' + message;
    }
};

class FakeJobViewServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.JobViewServerV2")
  public:
    explicit FakeJobViewServer(QDBusConnection bus) : m_bus(std::move(bus)) {}
    QStringList requests;
    FakeJobView view;
  public Q_SLOTS:
    QDBusObjectPath requestView(const QString& entry, int capabilities, const QVariantMap& hints) {
        requests << QStringLiteral("%1|%2|%3")
                        .arg(entry)
                        .arg(capabilities)
                        .arg(hints.value(u"title"_qs).toString());
        m_bus.unregisterObject(u"/JobView/1"_qs);
        view.updates.clear();
        m_bus.registerObject(u"/JobView/1"_qs, &view, QDBusConnection::ExportAllSlots);
        return QDBusObjectPath(u"/JobView/1"_qs);
    }

  private:
    QDBusConnection m_bus;
};

// A service of its own on the session bus, as a desktop's would be.
bool serve(const QString& name, const QString& path, QObject* object) {
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    return bus.registerService(name) &&
           bus.registerObject(path, object, QDBusConnection::ExportAllSlots);
}

void emitSignal(const QString& name, const QString& path, const QString& interface,
                const QString& signal, const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createSignal(path, interface, signal);
    message.setArguments(arguments);
    QDBusConnection::connectToBus(QDBusConnection::SessionBus, name).send(message);
}

} // namespace

class DesktopHooksTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { QVERIFY(installProgramTexts(*QCoreApplication::instance())); }
    void runIsHeard();
    void runEndIsTold();
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

void DesktopHooksTest::runEndIsTold() {
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a session bus of its own: run it under dbus-run-session (package "
              "dbus-daemon)");
    const QString notices = u"org.freedesktop.Notifications"_qs;
    const QString noticesPath = u"/org/freedesktop/Notifications"_qs;
    const QString portal = u"org.freedesktop.portal.Desktop"_qs;
    const QString portalPath = u"/org/freedesktop/portal/desktop"_qs;
    const QString portalInterface = u"org.freedesktop.portal.Notification"_qs;
    FakeNotifications service;
    FakePortalNotifications portalService;
    FakeJobViewServer jobs(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"org.kde.JobViewServer"_qs));
    QVERIFY(serve(notices, noticesPath, &service));
    QVERIFY(serve(portal, portalPath, &portalService));
    QVERIFY(serve(u"org.kde.JobViewServer"_qs, u"/JobViewServer"_qs, &jobs));

    QGuiApplication::setDesktopFileName(u"org.example.quorvane"_qs);
    FakeEncoder fake;
    ScriptedDialogs dialogs;
    TestForm1 form(testServices(fake.programFolder(), &dialogs));
    const auto run = [&](const QStringList& secondFile) {
        const qsizetype told = dialogs.messages.size();
        fileList(form).appendEntry(
            fake.source(u"a.mkv"_qs, {u"duration=4.00"_qs, u"sleep=300"_qs}));
        fileList(form).appendEntry(fake.source(u"b.mkv"_qs, secondFile));
        form.findChild<QPushButton*>(u"Check2"_qs)->click();
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.messages.size(), told + 1, 20000);
        while (fileList(form).count() > 0)
            fileList(form).removeEntry(1);
        QFile::remove(outputPathFor(fake.source(u"a.mkv"_qs)));
        QFile::remove(outputPathFor(fake.source(u"b.mkv"_qs)));
    };

    // The window is elsewhere: the end comes as a notification, and the tray's
    // view ends with it.
    run({});
    const QString told = u"|Quorvane|Conversion finished|"_qs;
    QTRY_COMPARE(service.shown, QStringList{u"41|0"_qs + told +
                                            u"2 files converted|default|org.example.quorvane"_qs});
    QCOMPARE(jobs.requests, QStringList{u"org.example.quorvane|0|Converting videos"_qs});
    QTRY_COMPARE(jobs.view.ends, QStringList{u"0|"_qs});
    uint lastPercent = 0;
    for (const QVariantMap& fields : std::as_const(jobs.view.updates)) {
        const uint percent = fields.value(u"percent"_qs, lastPercent).toUInt();
        QVERIFY2(percent >= lastPercent && percent <= 100, qPrintable(QString::number(percent)));
        lastPercent = percent;
        if (fields.contains(u"totalItems"_qs))
            QCOMPARE(fields.value(u"totalItems"_qs).toULongLong(), 2ULL);
    }
    QCOMPARE(jobs.view.updates.constLast().value(u"processedItems"_qs).toULongLong(), 2ULL);

    // The next one takes its place, and a failure is counted in both.
    run({u"exit=1"_qs});
    const QString counts = u"1 file converted, 1 failed"_qs;
    QTRY_COMPARE(service.shown.size(), 2);
    QCOMPARE(service.shown.constLast(),
             u"42|41"_qs + told + counts + u"|default|org.example.quorvane"_qs);
    QTRY_COMPARE(jobs.view.ends.constLast(), u"100|"_qs + counts);

    // Choosing it brings the window up; another program's choice does not.
    QVERIFY(!form.isVisible());
    emitSignal(notices, noticesPath, notices, u"ActionInvoked"_qs, {41u, u"default"_qs});
    emitSignal(notices, noticesPath, notices, u"ActionInvoked"_qs, {42u, u"default"_qs});
    QTRY_VERIFY(form.isVisible());
    form.hide();

    // In a sandbox only the portal is asked, and its signal brings the window up too.
    qputenv("FLATPAK_ID", "org.example.quorvane");
    const auto unsandbox = qScopeGuard([] { qunsetenv("FLATPAK_ID"); });
    run({});
    QTRY_COMPARE(portalService.shown,
                 QStringList{u"run-finished|Conversion finished|2 files converted|default"_qs});
    QCOMPARE(service.shown.size(), 2);
    emitSignal(portal, portalPath, portalInterface, u"ActionInvoked"_qs,
               {u"run-finished"_qs, u"default"_qs, QVariant::fromValue(QVariantList{})});
    QTRY_VERIFY(form.isVisible());
}

QTEST_MAIN(DesktopHooksTest)
#include "tst_desktophooks.moc"

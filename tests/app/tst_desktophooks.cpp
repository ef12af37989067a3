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

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
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

// A stand-in for a desktop service: every call it gets, as "member|argument|...",
// each answered with what answer gives for it (nothing by default).
class FakeService : public QDBusVirtualObject {
  public:
    QStringList calls;
    std::function<QVariant(const QString& member)> answer = [](const QString&) {
        return QVariant();
    };

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QStringList said{message.member()};
        for (const QVariant& argument : message.arguments()) {
            if (argument.metaType() != QMetaType::fromType<QDBusArgument>()) {
                said << (argument.metaType() == QMetaType::fromType<QStringList>()
                             ? argument.toStringList().join(u',')
                             : argument.toString());
                continue;
            }
            const auto map = qdbus_cast<QVariantMap>(argument);
            QStringList fields;
            for (auto field = map.begin(); field != map.end(); ++field)
                fields << field.key() + u'=' + field.value().toString();
            said << fields.join(u',');
        }
        calls << said.join(u'|');
        const QVariant reply = answer(message.member());
        return connection.send(reply.isValid() ? message.createReply(reply)
                                               : message.createReply());
    }
};

// Offered under a name of its own on the session bus, as a desktop's service is.
bool serve(const QString& name, const QString& path, FakeService& service) {
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    return bus.registerService(name) && bus.registerVirtualObject(path, &service);
}

void emitSignal(const QString& name, const QString& path, const QString& interface,
                const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createSignal(path, interface, u"ActionInvoked"_qs);
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
    const QString jobServer = u"org.kde.JobViewServer"_qs;
    FakeService service, portalService, jobs, jobView;
    uint shown = 40;
    service.answer = [&shown](const QString&) { return QVariant(++shown); };
    jobs.answer = [](const QString&) {
        return QVariant::fromValue(QDBusObjectPath(u"/JobView/1"_qs));
    };
    QVERIFY(serve(notices, noticesPath, service));
    QVERIFY(serve(portal, portalPath, portalService));
    QVERIFY(serve(jobServer, u"/JobViewServer"_qs, jobs));
    QVERIFY(serve(jobServer, u"/JobView/1"_qs, jobView));

    QGuiApplication::setDesktopFileName(u"org.example.quorvane"_qs);
    FakeEncoder fake;
    ScriptedDialogs dialogs;
    TestForm1 form(testServices(fake.programFolder(), &dialogs));
    const auto run = [&](const QStringList& secondFile) {
        for (const QString& name : {u"a.mkv"_qs, u"b.mkv"_qs})
            QFile::remove(outputPathFor(fake.source(name)));
        fileList(form).appendEntry(
            fake.source(u"a.mkv"_qs, {u"duration=4.00"_qs, u"sleep=300"_qs}));
        fileList(form).appendEntry(fake.source(u"b.mkv"_qs, secondFile));
        const qsizetype told = dialogs.messages.size();
        form.findChild<QPushButton*>(u"Check2"_qs)->click();
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.messages.size(), told + 1, 20000);
        while (fileList(form).count() > 0)
            fileList(form).removeEntry(fileList(form).index(0));
    };

    // The window is elsewhere: the end comes as a notification, and the tray's
    // view, with no stop or pause offered, ends with it.
    run({});
    const QString notice = u"Notify|Quorvane|%1|org.example.quorvane|Conversion finished|%2|"
                           "default,Quorvane|desktop-entry=org.example.quorvane|-1"_qs;
    QTRY_COMPARE(service.calls, QStringList{notice.arg(0).arg(u"2 files converted"_qs)});
    QCOMPARE(jobs.calls,
             QStringList{
                 u"requestView|org.example.quorvane|0|immediate=true,title=Converting videos"_qs});
    QTRY_COMPARE(jobView.calls.constLast(), u"terminate|0||"_qs);
    QVERIFY2(jobView.calls.join(u'\n').contains(u"processedItems=2"_qs) &&
                 jobView.calls.join(u'\n').contains(u"totalItems=2"_qs),
             qPrintable(jobView.calls.join(u'\n')));

    // The next one takes its place, and a failure is counted in both.
    run({u"exit=1"_qs});
    const QString counts = u"1 file converted, 1 failed"_qs;
    QTRY_COMPARE(service.calls.size(), 2);
    QCOMPARE(service.calls.constLast(), notice.arg(41).arg(counts));
    QTRY_COMPARE(jobView.calls.constLast(), u"terminate|100|"_qs + counts + u'|');

    // Choosing it brings the window up.
    QVERIFY(!form.isVisible());
    emitSignal(notices, noticesPath, notices, {42u, u"default"_qs});
    QTRY_VERIFY(form.isVisible());
    form.hide();

    // In a sandbox only the portal is asked, and its signal brings the window up too.
    qputenv("FLATPAK_ID", "org.example.quorvane");
    const auto unsandbox = qScopeGuard([] { qunsetenv("FLATPAK_ID"); });
    run({});
    // (The portal hears of the sleep inhibitor too.)
    QTRY_COMPARE(portalService.calls.filter(u"AddNotification"_qs),
                 QStringList{u"AddNotification|run-finished|body=2 files converted,"
                             "default-action=default,title=Conversion finished"_qs});
    QCOMPARE(service.calls.size(), 2);
    emitSignal(portal, portalPath, u"org.freedesktop.portal.Notification"_qs,
               {u"run-finished"_qs, u"default"_qs, QVariant::fromValue(QVariantList{})});
    QTRY_VERIFY(form.isVisible());
}

QTEST_MAIN(DesktopHooksTest)
#include "tst_desktophooks.moc"

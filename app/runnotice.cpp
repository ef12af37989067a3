// SPDX-License-Identifier: MIT
#include "app/runnotice.h"

#include "app/appidentity.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QVariantMap>

namespace {

const QString ServiceName = QStringLiteral("org.freedesktop.Notifications");
const QString ServicePath = QStringLiteral("/org/freedesktop/Notifications");
const QString PortalName = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString PortalInterface = QStringLiteral("org.freedesktop.portal.Notification");
// The portal replaces a notification by its id; the service, by the number it gave.
const QString PortalNoticeId = QStringLiteral("run-finished");
const QString DefaultAction = QStringLiteral("default");

// Inside a Flatpak sandbox only the portal reaches the desktop.
bool sandboxed() {
    return qEnvironmentVariableIsSet("FLATPAK_ID") ||
           QFileInfo::exists(QStringLiteral("/.flatpak-info"));
}

} // namespace

RunNotice::RunNotice(BusAccess sessionBus, QString desktopEntry, QObject* parent)
    : QObject(parent), m_bus(std::move(sessionBus)), m_desktopEntry(std::move(desktopEntry)) {}

void RunNotice::show(const QString& summary, const QString& body) {
    QDBusConnection bus = m_bus();
    if (!bus.isConnected())
        return;
    if (sandboxed())
        showThroughPortal(bus, summary, body);
    else
        showThroughService(bus, summary, body);
}

void RunNotice::showThroughService(QDBusConnection& bus, const QString& summary,
                                   const QString& body) {
    if (!std::exchange(m_listeningToService, true))
        bus.connect(ServiceName, ServicePath, ServiceName, QStringLiteral("ActionInvoked"), this,
                    SLOT(serviceActionInvoked(uint, QString)));
    QDBusMessage notify = QDBusMessage::createMethodCall(ServiceName, ServicePath, ServiceName,
                                                         QStringLiteral("Notify"));
    const QStringList actions{DefaultAction, AppIdentity::name()};
    const QVariantMap hints{{QStringLiteral("desktop-entry"), m_desktopEntry}};
    notify << AppIdentity::name() << m_shownId << m_desktopEntry << summary << body << actions
           << hints << -1;
    auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(notify), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<uint> reply = *call;
                if (!reply.isError())
                    m_shownId = reply.value();
            });
}

void RunNotice::showThroughPortal(QDBusConnection& bus, const QString& summary,
                                  const QString& body) {
    if (!std::exchange(m_listeningToPortal, true))
        bus.connect(PortalName, PortalPath, PortalInterface, QStringLiteral("ActionInvoked"), this,
                    SLOT(portalActionInvoked(QString, QString, QVariantList)));
    QDBusMessage add = QDBusMessage::createMethodCall(PortalName, PortalPath, PortalInterface,
                                                      QStringLiteral("AddNotification"));
    // A default action without the "app." prefix comes back as the portal's signal.
    add << PortalNoticeId
        << QVariantMap{{QStringLiteral("title"), summary},
                       {QStringLiteral("body"), body},
                       {QStringLiteral("default-action"), DefaultAction}};
    bus.asyncCall(add);
}

void RunNotice::serviceActionInvoked(uint id, const QString& action) {
    if (m_shownId != 0 && id == m_shownId && action == DefaultAction)
        Q_EMIT activated();
}

void RunNotice::portalActionInvoked(const QString& id, const QString& action, const QVariantList&) {
    if (id == PortalNoticeId && action == DefaultAction)
        Q_EMIT activated();
}

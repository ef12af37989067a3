// SPDX-License-Identifier: MIT
#include "app/sleepinhibitor.h"

#include "app/appidentity.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

SleepInhibitor::SleepInhibitor(BusAccess systemBus, BusAccess sessionBus, QObject* parent)
    : QObject(parent), m_systemBus(std::move(systemBus)), m_sessionBus(std::move(sessionBus)) {}

SleepInhibitor::~SleepInhibitor() {
    release();
}

void SleepInhibitor::hold(const QString& reason) {
    if (m_wanted)
        return;
    m_wanted = true;
    m_reason = reason;
    askLogind();
}

void SleepInhibitor::release() {
    m_wanted = false;
    ++m_asking;
    m_lock = QDBusUnixFileDescriptor();
    if (!m_portalRequest.isEmpty())
        closePortalRequest(std::exchange(m_portalRequest, {}));
}

void SleepInhibitor::askLogind() {
    QDBusConnection bus = m_systemBus();
    if (!bus.isConnected())
        return askPortal();
    QDBusMessage inhibit = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    inhibit << QStringLiteral("sleep") << AppIdentity::name() << m_reason
            << QStringLiteral("block");
    auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(inhibit), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this, asking = ++m_asking](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
                if (asking != m_asking) // released meanwhile: the answer's lock just goes
                    return;
                if (reply.isError())
                    return askPortal();
                m_lock = reply.value();
            });
}

void SleepInhibitor::askPortal() {
    QDBusConnection bus = m_sessionBus();
    if (!bus.isConnected())
        return;
    constexpr uint Suspend = 4;
    QDBusMessage inhibit = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"),
        QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
    inhibit << QString() << Suspend << QVariantMap{{QStringLiteral("reason"), m_reason}};
    auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(inhibit), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this, asking = ++m_asking](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *call;
                if (reply.isError())
                    return;
                if (asking != m_asking)
                    return closePortalRequest(reply.value().path());
                m_portalRequest = reply.value().path();
            });
}

void SleepInhibitor::closePortalRequest(const QString& handle) {
    QDBusConnection bus = m_sessionBus();
    if (!bus.isConnected())
        return;
    bus.asyncCall(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), handle,
        QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Close")));
}

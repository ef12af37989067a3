// SPDX-License-Identifier: MIT
#include "app/taskbarprogress.h"

#include "app/appidentity.h"

#include <QDBusMessage>

TaskbarProgress::TaskbarProgress(BusAccess sessionBus, const QString& desktopFileName)
    : m_bus(std::move(sessionBus)), m_application(QStringLiteral("application://") +
                                                  desktopFileName + QStringLiteral(".desktop")) {}

void TaskbarProgress::show(double share) {
    m_shown = true;
    send({{QStringLiteral("progress"), share}, {QStringLiteral("progress-visible"), true}});
}

void TaskbarProgress::clear() {
    if (!std::exchange(m_shown, false))
        return;
    send({{QStringLiteral("progress"), 0.0}, {QStringLiteral("progress-visible"), false}});
}

void TaskbarProgress::send(const QVariantMap& properties) {
    QDBusConnection bus = m_bus();
    if (!bus.isConnected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(
        AppIdentity::objectPath() + QStringLiteral("/LauncherEntry"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    update << m_application << properties;
    bus.send(update);
}

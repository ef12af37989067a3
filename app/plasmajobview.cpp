// SPDX-License-Identifier: MIT
#include "app/plasmajobview.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString ServerName = QStringLiteral("org.kde.JobViewServer");
const QString ViewInterface = QStringLiteral("org.kde.JobViewV3");

} // namespace

PlasmaJobView::PlasmaJobView(BusAccess sessionBus, QString desktopEntry, QObject* parent)
    : QObject(parent), m_bus(std::move(sessionBus)), m_desktopEntry(std::move(desktopEntry)) {}

void PlasmaJobView::begin(const QString& title) {
    const quint64 run = ++m_run;
    m_view.clear();
    m_state = {{QStringLiteral("title"), title}};
    m_ended = false;
    QDBusConnection bus = m_bus();
    if (!bus.isConnected())
        return;
    QDBusMessage request = QDBusMessage::createMethodCall(
        ServerName, QStringLiteral("/JobViewServer"), QStringLiteral("org.kde.JobViewServerV2"),
        QStringLiteral("requestView"));
    // Only a server already there: starting one for a single run would outlast it.
    request.setAutoStartService(false);
    constexpr int NoCapabilities = 0; // neither stop nor pause
    QVariantMap hints = m_state;
    hints.insert(QStringLiteral("immediate"), true);
    request << m_desktopEntry << NoCapabilities << hints;
    auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(request), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this, run](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *call;
                if (run != m_run || reply.isError())
                    return;
                m_view = reply.value().path();
                send(QStringLiteral("update"), {m_state});
                if (m_ended)
                    send(QStringLiteral("terminate"), {m_errorCode, m_errorMessage, QVariantMap()});
            });
}

void PlasmaJobView::update(const QVariantMap& fields) {
    if (m_ended)
        return;
    QVariantMap changed;
    for (auto field = fields.begin(); field != fields.end(); ++field) {
        if (m_state.value(field.key()) != field.value()) {
            m_state.insert(field.key(), field.value());
            changed.insert(field.key(), field.value());
        }
    }
    // A view still on its way gets the whole state when it comes.
    if (!m_view.isEmpty() && !changed.isEmpty())
        send(QStringLiteral("update"), {changed});
}

void PlasmaJobView::end(uint errorCode, const QString& errorMessage) {
    if (m_ended)
        return;
    m_ended = true;
    m_errorCode = errorCode;
    m_errorMessage = errorMessage;
    if (m_view.isEmpty())
        return; // told when the view arrives, if it does
    send(QStringLiteral("terminate"), {errorCode, errorMessage, QVariantMap()});
}

void PlasmaJobView::send(const QString& method, const QVariantList& arguments) {
    QDBusConnection bus = m_bus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(ServerName, m_view, ViewInterface, method);
    call.setArguments(arguments);
    call.setAutoStartService(false);
    bus.send(call); // nothing waits for, or reads, the answer
}

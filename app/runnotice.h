// SPDX-License-Identifier: MIT
#pragma once

#include "app/busaccess.h"

#include <QObject>
#include <QString>

// Tells the desktop that a run is over, as a notification the user sees while
// working elsewhere: through the notification service, or the desktop portal
// inside a sandbox. Each one takes the place of the last. Where no service
// answers, nothing happens and nothing waits.
class RunNotice : public QObject {
    Q_OBJECT
  public:
    RunNotice(BusAccess sessionBus, QString desktopEntry, QObject* parent = nullptr);

    void show(const QString& summary, const QString& body);

  Q_SIGNALS:
    // The user chose the notification itself.
    void activated();

  private Q_SLOTS:
    // The notification service's signal, and the portal's.
    void serviceActionInvoked(uint id, const QString& action);
    void portalActionInvoked(const QString& id, const QString& action,
                             const QVariantList& parameter);

  private:
    void showThroughService(QDBusConnection& bus, const QString& summary, const QString& body);
    void showThroughPortal(QDBusConnection& bus, const QString& summary, const QString& body);

    BusAccess m_bus;
    QString m_desktopEntry;
    bool m_listeningToService = false;
    bool m_listeningToPortal = false;
    uint m_shownId = 0; // the service's id for the last one, 0 for none
};

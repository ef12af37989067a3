// SPDX-License-Identifier: MIT
#pragma once

#include "app/busaccess.h"

#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

// Keeps the machine from going to sleep while held: logind's inhibitor lock
// on the system bus, or the desktop portal's where that is what there is.
// It asks without waiting, and where neither answers it holds nothing, and
// says nothing.
class SleepInhibitor : public QObject {
    Q_OBJECT
  public:
    SleepInhibitor(BusAccess systemBus, BusAccess sessionBus, QObject* parent = nullptr);
    ~SleepInhibitor() override;

    void hold(const QString& reason);
    void release();

  private:
    void askLogind();
    void askPortal();
    void closePortalRequest(const QString& handle);

    BusAccess m_systemBus;
    BusAccess m_sessionBus;
    QString m_reason;
    bool m_wanted = false;
    quint64 m_asking = 0;           // tells a late answer from the one awaited
    QDBusUnixFileDescriptor m_lock; // logind's: closing it ends the lock
    QString m_portalRequest;        // the portal's: closing the request ends it
};

// SPDX-License-Identifier: MIT
#pragma once

#include "app/busaccess.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

// The run as a job in the desktop's job tray, where the session bus has one
// (KDE Plasma's job view server): asked for at the start, kept up to date
// while the run goes on, ended with how it went. Where no server answers,
// nothing is shown and nothing waits. The run has no stop or pause, so the
// view offers neither.
class PlasmaJobView : public QObject {
    Q_OBJECT
  public:
    PlasmaJobView(BusAccess sessionBus, QString desktopEntry, QObject* parent = nullptr);

    // A run begins; title names it in the tray.
    void begin(const QString& title);
    // The tray's fields: "percent", "processedItems", "totalItems", the
    // description; only what changed goes over the bus.
    void update(const QVariantMap& fields);
    // The run is over; an error code other than 0 marks it as failed.
    void end(uint errorCode, const QString& errorMessage);

  private:
    void send(const QString& method, const QVariantList& arguments);

    BusAccess m_bus;
    QString m_desktopEntry;
    quint64 m_run = 0;   // tells a late answer from the one awaited
    QString m_view;      // the view's object path, once the server gave it
    QVariantMap m_state; // everything told of this run, for a view that comes late
    bool m_ended = false;
    uint m_errorCode = 0;
    QString m_errorMessage;
};

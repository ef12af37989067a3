// SPDX-License-Identifier: MIT
#pragma once

#include "app/busaccess.h"

#include <QString>
#include <QVariantMap>

// Shows the run's progress on the program's task bar entry, through the
// launcher-entry signal that task managers and docks follow on the session
// bus. Without a bus nothing happens, and nothing is said.
class TaskbarProgress {
  public:
    // desktopFileName: the program's desktop file name, without ".desktop".
    TaskbarProgress(BusAccess sessionBus, const QString& desktopFileName);

    // The share of the batch done, from 0 to 1.
    void show(double share);
    // Takes the progress off the entry.
    void clear();

  private:
    void send(const QVariantMap& properties);

    BusAccess m_bus;
    QString m_application;
    bool m_shown = false;
};

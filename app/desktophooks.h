// SPDX-License-Identifier: MIT
#pragma once

#include "app/busaccess.h"
#include "app/sleepinhibitor.h"
#include "app/taskbarprogress.h"
#include "convert/conversionrun.h"

#include <QObject>

class QWidget;

// Where the desktop hears of a run: the task bar entry's progress, no sleep
// until the run is over, and a call for attention when it ends while the user
// is elsewhere. All of it ends in one place, however the run ends.
class DesktopHooks : public QObject {
    Q_OBJECT
  public:
    // window: the one that asks for attention.
    DesktopHooks(ConversionRun& run, QWidget& window, BusAccess sessionBus, BusAccess systemBus,
                 QObject* parent = nullptr);

  private:
    void runStateChanged(ConversionRun::State state);

    QWidget& m_window;
    TaskbarProgress m_taskbar;
    SleepInhibitor m_sleepInhibitor;
};

// SPDX-License-Identifier: MIT
#pragma once

#include "app/busaccess.h"
#include "app/plasmajobview.h"
#include "app/runnotice.h"
#include "app/sleepinhibitor.h"
#include "app/taskbarprogress.h"
#include "convert/conversionrun.h"

#include <QObject>

class QWidget;

// Where the desktop hears of a run: the task bar entry's progress and the
// job tray's view of it, no sleep until the run is over, and a call for
// attention with a notification when it ends while the user is elsewhere. All
// of it ends in one place, however the run ends.
class DesktopHooks : public QObject {
    Q_OBJECT
  public:
    // window: the one that asks for attention.
    DesktopHooks(ConversionRun& run, QWidget& window, BusAccess sessionBus, BusAccess systemBus,
                 QObject* parent = nullptr);

  private:
    void runStateChanged(ConversionRun::State state);
    void runProgressed(const RunProgress& progress);
    void runFinished(const ConversionReport& report);
    void raiseWindow();

    QWidget& m_window;
    TaskbarProgress m_taskbar;
    SleepInhibitor m_sleepInhibitor;
    PlasmaJobView m_jobView;
    RunNotice m_notice;
    qulonglong m_filesDone = 0; // files of the run that came to an end, whatever the outcome
};

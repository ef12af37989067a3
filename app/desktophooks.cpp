// SPDX-License-Identifier: MIT
#include "app/desktophooks.h"

#include <QApplication>
#include <QWidget>

DesktopHooks::DesktopHooks(ConversionRun& run, QWidget& window, BusAccess sessionBus,
                           BusAccess systemBus, QObject* parent)
    : QObject(parent), m_window(window), m_taskbar(sessionBus, QGuiApplication::desktopFileName()),
      m_sleepInhibitor(std::move(systemBus), std::move(sessionBus)) {
    connect(&run, &ConversionRun::stateChanged, this, &DesktopHooks::runStateChanged);
    connect(&run, &ConversionRun::progressed, this,
            [this](const RunProgress& progress) { m_taskbar.show(progress.batchShare); });
    connect(&run, &ConversionRun::finished, this, [this] {
        if (!m_window.isActiveWindow())
            QApplication::alert(&m_window);
    });
}

void DesktopHooks::runStateChanged(ConversionRun::State state) {
    if (state == ConversionRun::State::Converting) {
        m_sleepInhibitor.hold(tr("Converting videos"));
        return;
    }
    m_taskbar.clear();
    m_sleepInhibitor.release();
}

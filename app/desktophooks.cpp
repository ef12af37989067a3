// SPDX-License-Identifier: MIT
#include "app/desktophooks.h"

#include "app/messages.h"

#include <QApplication>
#include <QFileInfo>
#include <QWidget>

namespace {

// Plasma's own code for a job that ended in error.
constexpr uint JobFailed = 100;

} // namespace

DesktopHooks::DesktopHooks(ConversionRun& run, QWidget& window, BusAccess sessionBus,
                           BusAccess systemBus, QObject* parent)
    : QObject(parent), m_window(window), m_taskbar(sessionBus, QGuiApplication::desktopFileName()),
      m_sleepInhibitor(std::move(systemBus), sessionBus),
      m_jobView(sessionBus, QGuiApplication::desktopFileName()),
      m_notice(std::move(sessionBus), QGuiApplication::desktopFileName()) {
    connect(&run, &ConversionRun::stateChanged, this, &DesktopHooks::runStateChanged);
    connect(&run, &ConversionRun::progressed, this, &DesktopHooks::runProgressed);
    connect(&run, &ConversionRun::fileFinished, this, [this] { ++m_filesDone; });
    connect(&run, &ConversionRun::finished, this, &DesktopHooks::runFinished);
    connect(&m_notice, &RunNotice::activated, this, &DesktopHooks::raiseWindow);
}

void DesktopHooks::runStateChanged(ConversionRun::State state) {
    if (state == ConversionRun::State::Converting) {
        m_filesDone = 0;
        m_sleepInhibitor.hold(Messages::runTitle());
        m_jobView.begin(Messages::runTitle());
        return;
    }
    m_taskbar.clear();
    m_sleepInhibitor.release();
    // A run left behind as the window closes ends here; one that finished
    // ends with its counts.
    if (state == ConversionRun::State::Abandoned)
        m_jobView.end(0, QString());
}

void DesktopHooks::runProgressed(const RunProgress& progress) {
    m_taskbar.show(progress.batchShare);
    QVariantMap fields{{QStringLiteral("percent"), uint(qRound(progress.batchShare * 100.0))},
                       {QStringLiteral("processedItems"), m_filesDone},
                       {QStringLiteral("totalItems"), qulonglong(progress.batchSize)}};
    if (!progress.files.isEmpty()) {
        fields.insert(QStringLiteral("descriptionLabel1"), Messages::fileUnderWayLabel());
        fields.insert(QStringLiteral("descriptionValue1"),
                      QFileInfo(progress.files.constLast().source).fileName());
    }
    m_jobView.update(fields);
}

void DesktopHooks::runFinished(const ConversionReport& report) {
    const bool troubled = report.failed > 0 || report.partial > 0;
    m_jobView.update({{QStringLiteral("processedItems"), m_filesDone}});
    m_jobView.end(troubled ? JobFailed : 0, troubled ? Messages::runCounts(report) : QString());
    if (m_window.isActiveWindow())
        return;
    QApplication::alert(&m_window);
    m_notice.show(Messages::runEndHeadline(), Messages::runCounts(report));
}

void DesktopHooks::raiseWindow() {
    if (m_window.isMinimized())
        m_window.showNormal();
    else
        m_window.show();
    m_window.raise();
    m_window.activateWindow();
}

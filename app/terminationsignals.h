// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP, told through the event loop: the end of the
// session, a kill or Ctrl+C in a terminal then closes the window as its close
// button would, and nothing a run began in parts is left behind. One per
// program: a signal handler has only a process-wide place to write to.
class TerminationSignals : public QObject {
    Q_OBJECT
  public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

  Q_SIGNALS:
    // signal: its number, as the system counts them.
    void received(int signal);

  private:
    QSocketNotifier* m_notifier = nullptr;
};

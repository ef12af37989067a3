// SPDX-License-Identifier: MIT
#pragma once

#include "convert/sourcefacts.h"

#include <QObject>
#include <QString>
#include <QTimer>

class ChildProcess;

// Reads what one source holds with the probe tool, started at once; done()
// follows once, later, from the event loop. A probe that fails, or takes too
// long, knows nothing, and the source gets the command that needs no facts.
class SourceProbe : public QObject {
    Q_OBJECT
  public:
    SourceProbe(const QString& program, const QString& source, QObject* parent = nullptr);
    ~SourceProbe() override;

    bool isDone() const { return m_done; }
    // What the probe read; nothing known until it is done.
    const SourceFacts& facts() const { return m_facts; }

  Q_SIGNALS:
    void done();

  private:
    void finish(const SourceFacts& facts);

    ChildProcess* m_process = nullptr; // a child of this object while it runs
    QTimer m_deadline;
    SourceFacts m_facts;
    bool m_done = false;
};

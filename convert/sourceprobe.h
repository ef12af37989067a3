// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <optional>

class ChildProcess;

// Asks the probe tool about a source, started at once; done() follows once,
// later, from the event loop. A probe that fails, or takes too long, has no
// answer, and the source is converted as though nothing were known of it.
class SourceProbe : public QObject {
    Q_OBJECT
  public:
    SourceProbe(const QString& program, const QStringList& arguments, QObject* parent = nullptr);
    ~SourceProbe() override;

    bool isDone() const { return m_done; }
    // What the tool wrote, when it ended well; nothing until it is done.
    const std::optional<QByteArray>& answer() const { return m_answer; }

  Q_SIGNALS:
    void done();

  private:
    void finish(std::optional<QByteArray> answer);

    ChildProcess* m_process = nullptr; // a child of this object while it runs
    QTimer m_deadline;
    std::optional<QByteArray> m_answer;
    bool m_done = false;
};

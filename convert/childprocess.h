// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>

#include <optional>

// A child process that is let go rather than killed when its object goes:
// QProcess kills a child it still runs, and waits for it, when destroyed.
// The child's end is then simply no longer watched.
//
// It reads the null device, so a question on its standard input gets an end
// of file instead of hanging it. It ignores SIGPIPE and runs in a session of
// its own, out of reach of the terminal's signals, so it runs on to its own
// end when this program ends first; and it never opens a window.
class ChildProcess final : public QProcess {
  public:
    enum class Priority {
        Normal,
        Background, // yields the processor to the encoders
    };

    explicit ChildProcess(QObject* parent = nullptr, Priority priority = Priority::Normal);
    ~ChildProcess() override;

    // The processor time the child has used so far, its threads together, as
    // the system tells it; empty where it does not.
    std::optional<double> processorSeconds() const;
};

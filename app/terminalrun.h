// SPDX-License-Identifier: MIT
#pragma once

#include "convert/conversionreport.h"
#include "filelist/leftoutnames.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <cstdio>

class BatchSession;

// The program without a window: converts what the command line names, in
// its order, and tells how it goes. People read standard error: on a
// terminal one status line redrawn in place, elsewhere a line per file as it
// ends, and at the end the window's summary with each file not converted and
// why. Scripts read standard output when asked: a line of JSON per file.
class TerminalRun : public QObject {
    Q_OBJECT
  public:
    TerminalRun(BatchSession& session, bool json, std::FILE* out = stdout, std::FILE* err = stderr,
                QObject* parent = nullptr);

    // Lists the paths, walking folders, then converts them; ended() follows.
    void start(const QStringList& paths, const LeftOutNames& leftOut);
    // A termination signal: every encoder stops and what they began goes.
    void interrupt(int signal);

    // The exit status of a run: 0 when every file was converted, 1 when any
    // was not, 2 when there was nothing to convert, 128 + n after signal n.
    static int exitStatus(const ConversionReport& report, int signal);

  Q_SIGNALS:
    void ended(int exitStatus);

  private:
    void listed();
    void fileFinished(const FileOutcome& outcome);
    void showStatus(const RunProgress& progress);
    void finished(const ConversionReport& report);
    void say(const QString& text);
    void clearStatus();

    BatchSession& m_session;
    const bool m_json;
    std::FILE* const m_out;
    std::FILE* const m_err;
    const bool m_terminal; // standard error is a terminal: the status line is redrawn
    bool m_statusShown = false;
    bool m_converting = false;
    int m_signal = 0;
    QList<FileOutcome> m_notConverted;
};

#pragma once

#include "convert/conversionrun.h"

#include <QObject>

class Form1;
class QAbstractButton;

// Puts the conversion run on the main window: the Start button begins it, the
// progress bar and the pointer follow it, its end is told in a message, and
// closing the window abandons it.
class ConversionController : public QObject {
    Q_OBJECT
  public:
    ConversionController(Form1& window, QAbstractButton& startButton);

    ConversionRun& run() { return m_run; }

  private:
    Form1& m_window;
    FileListEntries m_entries;
    ConversionRun m_run;
};

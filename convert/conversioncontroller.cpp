#include "convert/conversioncontroller.h"

#include "app/form1.h"
#include "app/userdialogs.h"
#include "filelist/filelistview.h"

#include <QAbstractButton>
#include <QProgressBar>

ConversionController::ConversionController(Form1& window, QAbstractButton& startButton)
    : QObject(&window), m_window(window), m_entries(window.fileList()->entries()),
      m_run(m_entries, window.services().programFolder) {
    setObjectName(QStringLiteral("conversion"));
    connect(&startButton, &QAbstractButton::clicked, &m_run, &ConversionRun::start);
    // Before the application quits, so the run stops with nothing shown.
    connect(&window, &Form1::unloading, &m_run, &ConversionRun::abandon);

    connect(&m_run, &ConversionRun::busyChanged, this, [this](bool busy) {
        m_window.pointer().setCode(busy ? PointerCode::Hourglass : PointerCode::Default);
    });
    // The bar holds whole numbers; the exact value stays on the run.
    connect(&m_run, &ConversionRun::progressChanged, this,
            [this](float value) { m_window.progressBar()->setValue(qRound(value)); });
    connect(&m_run, &ConversionRun::finished, this,
            [this](const QString& message, const QString& details) {
                if (UserDialogs* dialogs = m_window.services().dialogs)
                    dialogs->showMessage(&m_window, message, details);
            });
}

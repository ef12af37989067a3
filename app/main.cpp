#include "app/form1.h"
#include "app/userdialogs.h"

#include <QApplication>
#include <QDesktopServices>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/start.svg")));

    QtUserDialogs dialogs;
    Form1 window({QCoreApplication::applicationDirPath(), &dialogs, &HomePageVisit::drawFromClock,
                  [](const QUrl& address) { QDesktopServices::openUrl(address); }});
    // Closing the window ends the program at once, even in the middle of long work.
    QObject::connect(&window, &Form1::unloading, &app, &QCoreApplication::quit);
    window.show();
    return app.exec();
}

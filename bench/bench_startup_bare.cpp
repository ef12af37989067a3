// SPDX-License-Identifier: MIT
// The yardsticks of bench_startup: the least a Qt Widgets program does to put
// up a window of the program's size and title; with "--button", the least
// that also draws text, with one push button where Start sits.

#include <QApplication>
#include <QPushButton>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(441, 257);
    window.setWindowTitle(QStringLiteral("Quorvane"));
    if (QApplication::arguments().contains(QStringLiteral("--button")))
        (new QPushButton(QStringLiteral("Start"), &window))->setGeometry(296, 136, 137, 81);
    window.show();
    return QApplication::exec();
}

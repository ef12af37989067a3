// SPDX-License-Identifier: MIT
// A stand-in for a file manager: a small window that starts a real drag of
// the files named on its command line once the mouse is pressed and moved on
// it, offering a copy or a move with the move proposed, as file managers do.
//
//   quorvane_dragsource X Y PATH...
//
// Prints "ready" once the window is on screen and "dropped N" (the action the
// target reported, as a number) when the drag ends; quits a few seconds later.
// Quits by itself after a minute in any case, so a failed test never leaves
// it behind.

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <cstdio>

namespace {

void say(const QByteArray& line) {
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class DragSource : public QWidget {
  public:
    explicit DragSource(QList<QUrl> urls) : m_urls(std::move(urls)) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        if (!m_shown) {
            m_shown = true;
            say("ready");
        }
    }
    void mousePressEvent(QMouseEvent* event) override { m_pressedAt = event->position().toPoint(); }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (m_dragged || !(event->buttons() & Qt::LeftButton) ||
            (event->position().toPoint() - m_pressedAt).manhattanLength() <
                QApplication::startDragDistance())
            return;
        m_dragged = true;
        auto* mime = new QMimeData;
        mime->setUrls(m_urls);
        // Kept alive past exec(): the target may still ask it for the data.
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        const Qt::DropAction result = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
        say("dropped " + QByteArray::number(int(result)));
        // The target reads the paths after the drop, from this program: stay
        // a while to answer, as a file manager would.
        QTimer::singleShot(3000, qApp, &QCoreApplication::quit);
    }

  private:
    QList<QUrl> m_urls;
    QPoint m_pressedAt;
    bool m_shown = false;
    bool m_dragged = false;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 4)
        return 2;
    QList<QUrl> urls;
    for (const QString& path : arguments.mid(3))
        urls << QUrl::fromLocalFile(path);

    DragSource window(urls);
    window.setWindowTitle(QStringLiteral("drag source"));
    window.setGeometry(arguments.at(1).toInt(), arguments.at(2).toInt(), 200, 200);
    window.show();
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    return app.exec();
}

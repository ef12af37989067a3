// SPDX-License-Identifier: MIT
// Start-up of the program against a bare Qt window of the same size and title,
// and against its own controls written plainly:
// the time from the process's start to its window being mapped, and the
// resident memory once it has sat idle for a moment. They start in turn on
// one X server; without DISPLAY the benchmark starts an Xvfb of its own.
// The map is seen as the X server's MapNotify event, not by
// polling, so the times are exact to well under a millisecond.
//
//   bench_startup [RUNS]   (9)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/xcb.h>

#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr int SettleMilliseconds = 500;
constexpr int WindowTimeoutMilliseconds = 20000;

template <typename T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

// One connection for the whole benchmark: it also keeps the X server from
// resetting, which it does whenever its last client leaves and which delays
// the next one by tens of milliseconds.
class MapWatch {
  public:
    explicit MapWatch(const QByteArray& display)
        : m_connection(xcb_connect(display.constData(), nullptr)) {
        if (xcb_connection_has_error(m_connection))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        static const char name[] = "_NET_WM_PID";
        const XcbReply<xcb_intern_atom_reply_t> atom(
            xcb_intern_atom_reply(m_connection,
                                  xcb_intern_atom(m_connection, 0, sizeof name - 1, name), nullptr),
            &std::free);
        if (atom)
            m_pidAtom = atom->atom;
    }
    ~MapWatch() { xcb_disconnect(m_connection); }
    MapWatch(const MapWatch&) = delete;
    MapWatch& operator=(const MapWatch&) = delete;

    bool isValid() const {
        return !xcb_connection_has_error(m_connection) && m_pidAtom != XCB_ATOM_NONE;
    }

    void dropPendingEvents() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
            std::free(event);
    }

    // Milliseconds on clock when a window of the process was mapped, or -1.
    double waitForWindow(QProcess& process, const QElapsedTimer& clock) {
        const qint64 pid = process.processId();
        for (;;) {
            while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
                const double seen = double(clock.nsecsElapsed()) / 1e6;
                const XcbReply<xcb_generic_event_t> event(raw, &std::free);
                const int type = event->response_type & 0x7f;
                if (type == XCB_CREATE_NOTIFY) {
                    // A window manager moves a new top level into its frame before
                    // mapping it: watch the window itself, wherever it goes.
                    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
                    xcb_change_window_attributes(
                        m_connection, reinterpret_cast<xcb_create_notify_event_t*>(raw)->window,
                        XCB_CW_EVENT_MASK, &mask);
                    xcb_flush(m_connection);
                } else if (type == XCB_MAP_NOTIFY &&
                           processOf(reinterpret_cast<xcb_map_notify_event_t*>(raw)->window) ==
                               pid) {
                    return seen;
                }
            }
            if (xcb_connection_has_error(m_connection) ||
                clock.elapsed() > WindowTimeoutMilliseconds || process.waitForFinished(0))
                return -1;
            // The wait ends as soon as an event arrives; the timeout only bounds
            // how late a dead process is noticed.
            pollfd descriptor{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            ::poll(&descriptor, 1, 20);
        }
    }

  private:
    qint64 processOf(xcb_window_t window) {
        const XcbReply<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(
                m_connection,
                xcb_get_property(m_connection, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1),
                nullptr),
            &std::free);
        if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 4)
            return -1;
        return *static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    xcb_atom_t m_pidAtom = XCB_ATOM_NONE;
};

// VmRSS of /proc/<pid>/status in MiB, or -1.
double residentMiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            bool ok = false;
            const double kib = line.mid(6).trimmed().split(' ').value(0).toDouble(&ok);
            return ok ? kib / 1024 : -1;
        }
    }
    return -1;
}

struct Sample {
    double milliseconds = -1;
    double mebibytes = -1;
};

Sample startOnce(const QString& program, const QStringList& arguments,
                 const QProcessEnvironment& environment, MapWatch& watch) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    watch.dropPendingEvents();
    Sample sample;
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (process.waitForStarted(WindowTimeoutMilliseconds)) {
        sample.milliseconds = watch.waitForWindow(process, clock);
        if (sample.milliseconds >= 0) {
            QThread::msleep(SettleMilliseconds);
            sample.mebibytes = residentMiB(process.processId());
        }
    }
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
    return sample;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// An X server of the benchmark's own, stopped when it goes. The server takes
// a free display number itself and writes it to its standard output once it
// takes clients.
class PrivateXServer {
  public:
    explicit PrivateXServer(const QString& xvfb) {
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"),
                              QStringLiteral("-screen"), QStringLiteral("0"),
                              QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                              QStringLiteral("tcp")});
        while (!m_server.canReadLine() && m_server.waitForReadyRead(WindowTimeoutMilliseconds)) {
        }
        const QByteArray number = m_server.readLine().trimmed();
        if (!number.isEmpty())
            m_display = ':' + number;
    }
    ~PrivateXServer() {
        m_server.terminate(); // not kill: only then does the server remove its socket
        if (!m_server.waitForFinished(5000)) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    // Empty when no server could be started.
    QByteArray display() const { return m_display; }

  private:
    QProcess m_server;
    QByteArray m_display;
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 9;
    QByteArray display = qgetenv("DISPLAY");
    std::optional<PrivateXServer> server;
    if (display.isEmpty()) {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty()) {
            std::puts("bench_startup: skipped, no DISPLAY and no Xvfb (Debian: xvfb)");
            return 0;
        }
        display = server.emplace(xvfb).display();
        if (display.isEmpty()) {
            std::fputs("bench_startup: Xvfb did not start\n", stderr);
            return 1;
        }
    }

    MapWatch watch(display);
    if (!watch.isValid()) {
        std::fprintf(stderr, "bench_startup: cannot use the X display %s\n", display.constData());
        return 1;
    }
    // An empty PATH: the occasional home-page visit finds no browser to start.
    QTemporaryDir emptyPath;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), emptyPath.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(display));

    struct Contender {
        const char* name;
        QString program;
        QStringList arguments;
        std::vector<double> milliseconds;
        std::vector<double> mebibytes;
    };
    Contender contenders[] = {
        {"quorvane", QStringLiteral(QUORVANE_PROGRAM), {}, {}, {}},
        {"bare Qt window", QStringLiteral(QUORVANE_BARE_WINDOW), {}, {}, {}},
        // What drawing any text at all costs: fonts, shaping and a style's button.
        {"bare + 1 button",
         QStringLiteral(QUORVANE_BARE_WINDOW),
         {QStringLiteral("--button")},
         {},
         {}},
        // The program's controls written plainly: the floor for its first paint.
        {"plain same window",
         QStringLiteral(QUORVANE_BARE_WINDOW),
         {QStringLiteral("--window")},
         {},
         {}},
    };
    for (int run = 0; run <= runs; ++run) { // run 0 warms the caches and is not counted
        for (Contender& contender : contenders) {
            const Sample sample =
                startOnce(contender.program, contender.arguments, environment, watch);
            if (sample.milliseconds < 0 || sample.mebibytes < 0) {
                std::fprintf(stderr, "bench_startup: %s showed no window within %d s\n",
                             qPrintable(contender.program), WindowTimeoutMilliseconds / 1000);
                return 1;
            }
            if (run == 0)
                continue;
            contender.milliseconds.push_back(sample.milliseconds);
            contender.mebibytes.push_back(sample.mebibytes);
        }
    }

    std::printf("start to mapped window (X MapNotify event) and VmRSS %d ms later, on DISPLAY "
                "%s;\n%d starts each, alternately, after one round not counted\n",
                SettleMilliseconds, display.constData(), runs);
    std::printf("  %-17s %9s %9s %9s %10s\n", "", "median ms", "min ms", "max ms", "RSS MiB");
    for (const Contender& contender : contenders) {
        const auto [least, most] =
            std::minmax_element(contender.milliseconds.begin(), contender.milliseconds.end());
        std::printf("  %-17s %9.1f %9.1f %9.1f %10.1f\n", contender.name,
                    median(contender.milliseconds), *least, *most, median(contender.mebibytes));
    }
    const auto ratio = [&](const char* label, const Contender& floor) {
        std::printf("  %-17s %9.2f %9s %9s %10.2f\n", label,
                    median(contenders[0].milliseconds) / median(floor.milliseconds), "", "",
                    median(contenders[0].mebibytes) / median(floor.mebibytes));
    };
    ratio("ratio to bare", contenders[1]);
    ratio("ratio to button", contenders[2]);
    ratio("ratio to window", contenders[3]);
    return 0;
}

// SPDX-License-Identifier: MIT
#include "app/terminationsignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <array>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::array Handled{SIGTERM, SIGINT, SIGHUP};

// The handler's one way out: a write, which is safe in a signal handler.
int g_signalSocket[2] = {-1, -1};

void tell(int signal) {
    const auto byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_signalSocket[0], &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (g_signalSocket[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalSocket) != 0)
        return;
    m_notifier = new QSocketNotifier(g_signalSocket[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(g_signalSocket[1], &byte, 1);
        Q_EMIT received(int(byte));
    });
    struct sigaction action {};
    action.sa_handler = tell;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : Handled)
        ::sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    if (!m_notifier)
        return;
    for (const int signal : Handled)
        ::signal(signal, SIG_DFL);
    for (int& end : g_signalSocket)
        ::close(std::exchange(end, -1));
}
#else
TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {}
TerminationSignals::~TerminationSignals() = default;
#endif

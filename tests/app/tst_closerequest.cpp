// SPDX-License-Identifier: MIT
// The window manager's close request ends the program at whatever moment of a
// run it comes: before the first encoder, while encoders work, between files,
// after the end. The real window on the test's own X server, sent the ICCCM
// request (WM_DELETE_WINDOW) from another connection, many times.

#include "fakeencoder.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// As window managers and tools send it, with the time left open. Checked: a
// request its client quits before the server has read it may be lost.
bool sendCloseRequest(xcb_window_t window) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const auto disconnect = qScopeGuard([connection] { xcb_disconnect(connection); });
    if (xcb_connection_has_error(connection))
        return false;
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = window;
    request.type = internAtom(connection, "WM_PROTOCOLS");
    request.data.data32[0] = internAtom(connection, "WM_DELETE_WINDOW");
    request.data.data32[1] = XCB_CURRENT_TIME;
    xcb_generic_error_t* error = xcb_request_check(
        connection, xcb_send_event_checked(connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                                           reinterpret_cast<const char*>(&request)));
    std::free(error);
    return request.type != XCB_ATOM_NONE && !error;
}

} // namespace

class CloseRequestTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void closesAtAnyMoment();
};

void CloseRequestTest::closesAtAnyMoment() {
    constexpr int Tries = 24;
    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("seed %u", seed);
    QRandomGenerator random(seed);
    for (int attempt = 1; attempt <= Tries; ++attempt) {
        FakeEncoder fake; // fresh sources, so no output is already there
        QStringList entries;
        for (const char* name : {"a.mkv", "b.mkv", "c.mkv"})
            entries << fake.source(QLatin1String(name), {u"duration=2.00"_qs, u"sleep=300"_qs});
        const int encoders = 1 + attempt % 2;
        QProcess probe;
        probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        probe.start(QStringLiteral(UNLOAD_PROBE),
                    QStringList{u"hold"_qs, fake.programFolder(), fake.logPath(),
                                QString::number(encoders)} +
                        entries);
        QByteArray said;
        const QDeadlineTimer deadline(20000);
        while (!said.contains('\n') && probe.waitForReadyRead(int(deadline.remainingTime())))
            said += probe.readAllStandardOutput();
        QVERIFY2(said.startsWith("window "), said.constData());
        // Anywhere from the start to well after the last file.
        QTest::qWait(int(random.bounded(1400)));
        QVERIFY(sendCloseRequest(xcb_window_t(said.mid(7).trimmed().toULong())));
        QVERIFY2(probe.waitForFinished(10000),
                 qPrintable(u"try %1 of %2: the close request was not acted on"_qs.arg(attempt).arg(
                     Tries)));
        QCOMPARE(probe.exitCode(), 0);
        // Let the encoders it left behind end before their folder goes.
        const auto allEnded = [&fake] {
            const QList<FakeRun> runs = fake.runs();
            return std::all_of(runs.cbegin(), runs.cend(),
                               [](const FakeRun& run) { return run.ended; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(allEnded(), 10000);
    }
}

QTEST_GUILESS_MAIN(CloseRequestTest)
#include "tst_closerequest.moc"

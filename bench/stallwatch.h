// SPDX-License-Identifier: MIT
#pragma once

// Clicks a button and lets the event loop run until a signal says the work is
// done; a 1 ms timer meanwhile records the longest gap between two of its
// ticks, the longest time the window's thread handled no events.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

struct StallWatch {
    double milliseconds = 0;
    double longestStall = 0;
};

template <typename Sender, typename Signal>
StallWatch clickAndWatch(QPushButton* button, Sender* sender, Signal done) {
    QEventLoop loop;
    QObject::connect(sender, done, &loop, &QEventLoop::quit);
    QTimer::singleShot(600000, &loop, &QEventLoop::quit); // never wait for ever
    StallWatch result;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        result.longestStall = std::max(result.longestStall, double(now - lastTick) / 1e6);
        lastTick = now;
    });
    ticker.start(1);
    clock.start();
    button->click();
    loop.exec();
    result.milliseconds = double(clock.nsecsElapsed()) / 1e6;
    // The gap from the last tick to the end counts too.
    result.longestStall =
        std::max(result.longestStall, double(clock.nsecsElapsed() - lastTick) / 1e6);
    return result;
}

// SPDX-License-Identifier: MIT
#include "common/homepage.h"

#include <QTime>
#include <random>

#ifndef QUORVANE_HOMEPAGE_ADDRESS
#error "QUORVANE_HOMEPAGE_ADDRESS must be defined by the build"
#endif

HomePageVisit::HomePageVisit(Draw draw, Launcher launcher, QUrl address)
    : m_draw(std::move(draw)), m_launcher(std::move(launcher)), m_address(std::move(address)) {}

QUrl HomePageVisit::address() {
    return QUrl(QStringLiteral(QUORVANE_HOMEPAGE_ADDRESS));
}

int HomePageVisit::drawFromClock() {
    const auto secondsSinceMidnight = unsigned(QTime::currentTime().msecsSinceStartOfDay() / 1000);
    std::minstd_rand generator(secondsSinceMidnight + 1); // minstd_rand rejects a zero seed
    std::uniform_int_distribution<int> oneToHundred(1, 100);
    return oneToHundred(generator);
}

bool HomePageVisit::run() const {
    // Packagers build with an empty address to turn the visit off.
    if (m_address.isEmpty() || !m_draw || m_draw() != VisitDraw)
        return false;
    if (m_launcher)
        m_launcher(m_address);
    return true;
}

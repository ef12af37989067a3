#include "common/homepage.h"

#include <QTime>
#include <random>

#ifndef QUORVANE_HOMEPAGE_ADDRESS
#error "QUORVANE_HOMEPAGE_ADDRESS must be defined by the build"
#endif

HomePageVisit::HomePageVisit(Draw draw, Launcher launcher)
    : m_draw(std::move(draw)), m_launcher(std::move(launcher)) {}

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
    if (!m_draw || m_draw() != VisitDraw)
        return false;
    if (m_launcher)
        m_launcher(address());
    return true;
}

// SPDX-License-Identifier: MIT
#pragma once

#include <QUrl>
#include <functional>

// About one start in a hundred opens the product's home page.
class HomePageVisit {
  public:
    using Draw = std::function<int()>;                 // an integer from 1 to 100
    using Launcher = std::function<void(const QUrl&)>; // opens the address in a browser

    HomePageVisit(Draw draw, Launcher launcher, QUrl address = HomePageVisit::address());

    static constexpr int VisitDraw = 7;
    // The build's address; empty when the build turned the visit off.
    static QUrl address();
    // One uniform draw from 1 to 100, seeded from the seconds since midnight.
    static int drawFromClock();

    // Draws once and opens the home page when the draw is VisitDraw and there
    // is an address. Returns whether it opened the page.
    bool run() const;

  private:
    Draw m_draw;
    Launcher m_launcher;
    QUrl m_address;
};

// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

// The main window's pointer setting. Long work shows the hourglass; hovering
// only ever switches between the arrow and the hand, and leaves the hourglass alone.
enum class PointerCode { Default = 0, Hourglass = 11, Hand = 99 };

class PointerRules : public QObject {
    Q_OBJECT
  public:
    explicit PointerRules(QObject* parent = nullptr) : QObject(parent) {
        setObjectName(QStringLiteral("pointer"));
    }

    PointerCode code() const { return m_code; }

    // Long work (a folder walk, a conversion run) is under way, or no longer:
    // the hourglass while it is, the arrow after.
    void setBusy(bool busy);

    // The pointer moved over one of the three command buttons.
    void pointerOverButton();
    // The pointer moved over the window background, the list or the progress bar.
    void pointerOverBackground();

  Q_SIGNALS:
    void codeChanged(PointerCode code);

  private:
    void setCode(PointerCode code);

    PointerCode m_code = PointerCode::Default;
};

// SPDX-License-Identifier: MIT
#include "app/pointerrules.h"

void PointerRules::setCode(PointerCode code) {
    if (code == m_code)
        return;
    m_code = code;
    Q_EMIT codeChanged(code);
}

void PointerRules::setBusy(bool busy) {
    if (busy)
        setCode(PointerCode::Hourglass);
    else if (m_code == PointerCode::Hourglass)
        setCode(PointerCode::Default);
}

void PointerRules::pointerOverButton() {
    if (m_code != PointerCode::Hourglass)
        setCode(PointerCode::Hand);
}

void PointerRules::pointerOverBackground() {
    if (m_code != PointerCode::Hourglass)
        setCode(PointerCode::Default);
}

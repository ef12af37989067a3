// SPDX-License-Identifier: MIT
#include "common/pointerrules.h"

void PointerRules::setCode(PointerCode code) {
    if (code == m_code)
        return;
    m_code = code;
    Q_EMIT codeChanged(code);
}

void PointerRules::pointerOverButton() {
    if (m_code != PointerCode::Hourglass)
        setCode(PointerCode::Hand);
}

void PointerRules::pointerOverBackground() {
    if (m_code != PointerCode::Hourglass)
        setCode(PointerCode::Default);
}

// SPDX-License-Identifier: MIT
#pragma once

#include "app/appidentity.h"

#include <QString>

// The caption of the main window and of every message box.
inline QString applicationTitle() {
    return AppIdentity::name();
}

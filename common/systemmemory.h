// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <optional>

// The memory that new processes can take without pushing others out to swap,
// in bytes; none where the system does not tell.
std::optional<qint64> availableMemory();

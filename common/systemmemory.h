// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// The memory that new processes can take without pushing others out to swap,
// in bytes; none where the system does not tell.
std::optional<qint64> availableMemory();

// The MemAvailable line of a Linux /proc/meminfo text, in bytes.
std::optional<qint64> memAvailableFrom(const QByteArray& meminfo);

// SPDX-License-Identifier: MIT
#pragma once

// The reading behind availableMemory(), kept out of the library's interface:
// only its own source and the tests, which feed it texts the kernel may
// write, include this.

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace SystemMemoryDetail {

// The MemAvailable line of a Linux /proc/meminfo text, in bytes.
std::optional<qint64> memAvailableFrom(const QByteArray& meminfo);

} // namespace SystemMemoryDetail

// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QPoint>
#include <optional>

// The hotspot of the first image of a Windows cursor (.cur) file, read from
// its directory entry. Nothing for data that is not a cursor file.
std::optional<QPoint> cursorHotspot(const QByteArray& curFile);

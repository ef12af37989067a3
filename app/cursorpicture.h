// SPDX-License-Identifier: MIT
#pragma once

#include <QCursor>
#include <QString>
#include <optional>

// Loads a Windows cursor or icon file as a pointer, keeping a cursor file's
// hotspot. Nothing when the file is missing or is not a picture.
std::optional<QCursor> loadCursorFile(const QString& path);

// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

// The pictures drawn for this program at build time, as icons.

// A button's picture by name ("film", "folder", "start"), with its sharper
// copy for screens that scale by two.
QIcon buttonPicture(const QString& name);

// The program's icon, for its dialogs and message boxes.
QIcon programIcon();

// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>

#include <functional>

// A message bus, reached only when first needed: starting the program never
// waits for a bus, and tests hand in one of their own.
using BusAccess = std::function<QDBusConnection()>;

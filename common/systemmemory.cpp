// SPDX-License-Identifier: MIT
#include "common/systemmemory.h"
#include "common/systemmemory_p.h"

#include <QFile>
#include <QList>

#include <limits>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

std::optional<qint64> SystemMemoryDetail::memAvailableFrom(const QByteArray& meminfo) {
    // "MemAvailable:   23367764 kB"; the kernel's kB are KiB.
    for (const QByteArray& line : meminfo.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() != 3 || words.at(0) != "MemAvailable:" || words.at(2) != "kB")
            continue;
        bool number = false;
        const qint64 kibibytes = words.at(1).toLongLong(&number);
        if (!number || kibibytes < 0 || kibibytes > std::numeric_limits<qint64>::max() / 1024)
            return std::nullopt;
        return kibibytes * 1024;
    }
    return std::nullopt;
}

std::optional<qint64> availableMemory() {
#ifdef Q_OS_WIN
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (!GlobalMemoryStatusEx(&status))
        return std::nullopt;
    constexpr qint64 most = std::numeric_limits<qint64>::max();
    return status.ullAvailPhys > DWORDLONG(most) ? most : qint64(status.ullAvailPhys);
#else
    // procfs files tell no size, so they are read to their end.
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return std::nullopt;
    return SystemMemoryDetail::memAvailableFrom(meminfo.readAll());
#endif
}

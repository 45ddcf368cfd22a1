#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace quorvane::test {

// Whether the process has put a handler of its own in place for the signal, as the kernel
// sees it (Linux: the SigCgt mask of /proc/<pid>/status).
inline bool catchesSignal(qint64 pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return false;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            bool ok = false;
            const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
            return ok && (mask & (1ULL << (signal - 1))) != 0;
        }
    }
    return false;
}

}  // namespace quorvane::test

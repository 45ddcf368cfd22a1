#pragma once

#include <QString>

namespace quorvane {

// The per-user settings store: text values addressed by application, section and key.
// Native format: on Linux the file <config>/<application>/<application>.conf, on Windows
// the user's registry. Every write reaches the disk before write() returns. A missing,
// unreadable or garbled store reads as defaults; nothing here throws.
class SettingsStore {
public:
    QString read(const QString& application, const QString& section, const QString& key,
                 const QString& defaultValue) const;
    // False when the value could not be stored.
    bool write(const QString& application, const QString& section, const QString& key,
               const QString& text);
    // Where the values of an application are kept: the file on Linux, the registry key
    // on Windows.
    static QString location(const QString& application);
};

}  // namespace quorvane

#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

#include <memory>
#include <optional>

#include "platform/Clock.h"

class QSettings;
class QVariant;

namespace quorvane {

// The per-user settings store: text values addressed by application, section and key.
// Native format: on Linux the file <config>/<application>/<application>.conf, on Windows
// the user's registry. Every write reaches the disk before write() returns. A missing,
// unreadable or garbled store reads as defaults; nothing here throws.
class SettingsStore {
public:
    // The clock times how long what was last found on disk is trusted.
    explicit SettingsStore(const Clock& clock = SteadyClock::instance());
    ~SettingsStore();

    QString read(const QString& application, const QString& section, const QString& key,
                 const QString& defaultValue) const;
    // Changes whenever what read() gives for the application may have changed: after our
    // own writes, and once a change to the store behind our back has been seen. A caller
    // that reads one value very often keeps it until this changes.
    quint64 generation(const QString& application) const;
    // False when the value could not be stored.
    bool write(const QString& application, const QString& section, const QString& key,
               const QString& text);
    // Where the values of an application are kept: the file on Linux, the registry key
    // on Windows.
    static QString location(const QString& application);

private:
    // Opening the store costs more than counting a small file, and a count reads the
    // letter case for every line: the store stays open, and is opened afresh when its
    // file changed behind our back (looked at no more often than every few milliseconds;
    // our own writes are seen at once).
    struct Opened;
    Opened& open(const QString& application) const;
    static std::optional<QString> textOf(const QVariant& value);

    struct Opened {
        std::unique_ptr<QSettings> settings;
        QDateTime modified;
        qint64 size = -1;
        std::optional<qint64> lookedAtNs;
        // What reads found, by section/key; emptied whenever the store may have changed.
        QHash<QString, std::optional<QString>> found;
        quint64 generation = 0;
    };
    const Clock& clock_;
    mutable QHash<QString, std::shared_ptr<Opened>> opened_;
};

}  // namespace quorvane

#include "platform/SettingsStore.h"

#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace quorvane {

namespace {

QString keyPath(const QString& section, const QString& key) {
    return section.isEmpty() ? key : section + QLatin1Char('/') + key;
}

}  // namespace

SettingsStore::SettingsStore(const Clock& clock) : clock_(clock) {}
SettingsStore::~SettingsStore() = default;

SettingsStore::Opened& SettingsStore::open(const QString& application) const {
    std::shared_ptr<Opened>& entry = opened_[application];
    if (!entry) {
        entry = std::make_shared<Opened>();
    }
    constexpr qint64 kLookEveryNs = 20'000'000;
    const qint64 now = clock_.nowNs();
    if (entry->settings && entry->lookedAtNs && now - *entry->lookedAtNs < kLookEveryNs) {
        return *entry;
    }
    entry->lookedAtNs = now;
    if (entry->settings) {
        // On Windows the store is the registry, which has no file to watch; QSettings
        // reads it live there.
        const QFileInfo file(entry->settings->fileName());
        if (!file.exists() && entry->size < 0) {
            return *entry;
        }
        if (file.exists() && file.lastModified() == entry->modified && file.size() == entry->size) {
            return *entry;
        }
    }
    entry->settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                  application, application);
    entry->found.clear();
    ++entry->generation;
    const QFileInfo file(entry->settings->fileName());
    entry->modified = file.exists() ? file.lastModified() : QDateTime();
    entry->size = file.exists() ? file.size() : -1;
    return *entry;
}

quint64 SettingsStore::generation(const QString& application) const {
    return open(application).generation;
}

QString SettingsStore::read(const QString& application, const QString& section, const QString& key,
                            const QString& defaultValue) const {
    Opened& entry = open(application);
    const QString path = keyPath(section, key);
    const auto known = entry.found.constFind(path);
    if (known != entry.found.constEnd()) {
        return known->value_or(defaultValue);
    }
    const std::optional<QString> text = textOf(entry.settings->value(path));
    entry.found.insert(path, text);
    return text.value_or(defaultValue);
}

std::optional<QString> SettingsStore::textOf(const QVariant& value) {
    if (!value.isValid()) {
        return std::nullopt;
    }
    // Our own writes always come back as plain text. A hand-edited file can hold an
    // unquoted "a, b", which the file format reads as a list: give the text back rather
    // than lose it. Values of other kinds were not written by us and count as absent.
    switch (value.typeId()) {
        case QMetaType::QString:
            return value.toString();
        case QMetaType::QStringList:
            return value.toStringList().join(QLatin1String(", "));
        case QMetaType::QByteArray:
            return QString::fromUtf8(value.toByteArray());
        default:
            return value.canConvert<QString>() ? std::optional<QString>(value.toString())
                                               : std::nullopt;
    }
}

bool SettingsStore::write(const QString& application, const QString& section, const QString& key,
                          const QString& text) {
    Opened& entry = open(application);
    QSettings& settings = *entry.settings;
    entry.found.clear();
    ++entry.generation;
    settings.setValue(keyPath(section, key), text);
    settings.sync();
    // Our own write changed the file: what is open now matches it.
    const QFileInfo file(settings.fileName());
    entry.modified = file.exists() ? file.lastModified() : QDateTime();
    entry.size = file.exists() ? file.size() : -1;
    // A format error only says that the old file held lines that could not be parsed; the
    // new value was still written, and the unparsable lines were dropped with it.
    if (settings.status() == QSettings::AccessError) {
        // What failed to reach the disk must not be read back as if it had.
        entry.settings.reset();
        return false;
    }
    return true;
}

QString SettingsStore::location(const QString& application) {
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, application,
                             application);
    return settings.fileName();
}

}  // namespace quorvane

#include "SettingsStore.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace quorvane {

namespace {

QString keyPath(const QString& section, const QString& key) {
    return section.isEmpty() ? key : section + QLatin1Char('/') + key;
}

}  // namespace

QString SettingsStore::read(const QString& application, const QString& section, const QString& key,
                            const QString& defaultValue) const {
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, application,
                             application);
    const QVariant value = settings.value(keyPath(section, key));
    if (!value.isValid()) {
        return defaultValue;
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
            return value.canConvert<QString>() ? value.toString() : defaultValue;
    }
}

bool SettingsStore::write(const QString& application, const QString& section, const QString& key,
                          const QString& text) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, application, application);
    settings.setValue(keyPath(section, key), text);
    settings.sync();
    // A format error only says that the old file held lines that could not be parsed; the
    // new value was still written, and the unparsable lines were dropped with it.
    return settings.status() != QSettings::AccessError;
}

QString SettingsStore::location(const QString& application) {
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, application,
                             application);
    return settings.fileName();
}

}  // namespace quorvane

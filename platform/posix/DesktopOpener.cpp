#include "platform/DesktopOpener.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

namespace quorvane {

bool SystemDesktopOpener::open(const QString& operation, const QString& target,
                               const QString& parameters, const QString& directory,
                               int showCommand) {
    // The desktop's opener knows one verb and takes no parameters or window placement.
    Q_UNUSED(operation);
    Q_UNUSED(parameters);
    Q_UNUSED(showCommand);
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr ||
        target.trimmed().isEmpty()) {
        return false;
    }
    const QUrl url = QUrl::fromUserInput(target, directory);
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool DesktopOpener::hasSystemOpenWith() const {
    return false;
}

}  // namespace quorvane

#include "DesktopOpener.h"

#ifdef _WIN32
#include <QByteArray>

#include <windows.h>

#include <shellapi.h>
#else
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>
#endif

namespace quorvane {

#ifdef _WIN32

bool SystemDesktopOpener::open(const QString& operation, const QString& target,
                               const QString& parameters, const QString& directory,
                               int showCommand) {
    const QByteArray verb = operation.toLocal8Bit();
    const QByteArray file = target.toLocal8Bit();
    const QByteArray params = parameters.toLocal8Bit();
    const QByteArray folder = directory.toLocal8Bit();
    const auto orNull = [](const QByteArray& text) {
        return text.isEmpty() ? nullptr : text.constData();
    };
    // The desktop window owns whatever the shell shows, not our window.
    const HINSTANCE result = ShellExecuteA(GetDesktopWindow(), orNull(verb), file.constData(),
                                           orNull(params), orNull(folder), showCommand);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

bool DesktopOpener::hasSystemOpenWith() const {
    return true;
}

#else

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

#endif

}  // namespace quorvane

#include "platform/DesktopOpener.h"

#include <QByteArray>

#include <windows.h>

#include <shellapi.h>

namespace quorvane {

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

}  // namespace quorvane

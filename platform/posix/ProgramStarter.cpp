#include "platform/ProgramStarter.h"

#include <QProcess>
#include <QStandardPaths>

namespace quorvane {

bool SystemProgramStarter::startCommandLine(const QString& commandLine, int showCommand) {
    Q_UNUSED(showCommand);  // windows are placed by the desktop here
    QStringList arguments = QProcess::splitCommand(commandLine);
    if (arguments.isEmpty()) {
        return false;
    }
    const QString program = arguments.takeFirst();
    return QProcess::startDetached(program, arguments);
}

bool SystemProgramStarter::startEditor(const QString& path) {
    // The desktop's opener picks the user's editor for the file; looked up on every call
    // so that a PATH changed since start-up is honoured.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty() || path.isEmpty()) {
        return false;
    }
    return QProcess::startDetached(opener, {path});
}

}  // namespace quorvane

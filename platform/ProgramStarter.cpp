#include "platform/ProgramStarter.h"

#include <QProcess>

namespace quorvane {

// Command lines and the editor differ between systems: posix/ and win/ hold them.

bool SystemProgramStarter::startProgram(const QString& program, const QStringList& arguments) {
    if (program.isEmpty()) {
        return false;
    }
    return QProcess::startDetached(program, arguments);
}

}  // namespace quorvane

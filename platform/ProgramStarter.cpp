#include "ProgramStarter.h"

#include <QProcess>
#include <QStandardPaths>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

namespace quorvane {

#ifdef _WIN32

bool SystemProgramStarter::startCommandLine(const QString& commandLine, int showCommand) {
    if (commandLine.trimmed().isEmpty()) {
        return false;
    }
    // CreateProcessW may write into the command line, so it gets its own buffer.
    std::vector<wchar_t> line(static_cast<size_t>(commandLine.size()) + 1, L'\0');
    commandLine.toWCharArray(line.data());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool SystemProgramStarter::startEditor(const QString& path) {
    return startCommandLine(QStringLiteral("notepad.exe ") + path, 1);
}

#else

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

#endif

bool SystemProgramStarter::startProgram(const QString& program, const QStringList& arguments) {
    if (program.isEmpty()) {
        return false;
    }
    return QProcess::startDetached(program, arguments);
}

}  // namespace quorvane

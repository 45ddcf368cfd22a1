#include "platform/ProgramStarter.h"

#include <windows.h>

#include <vector>

namespace quorvane {

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

}  // namespace quorvane

#pragma once

#include <QString>
#include <QStringList>

namespace quorvane {

// Starts programs without waiting for them.
class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;

    // A Windows-style command line (program and arguments in one text) with a show-window
    // code (1: normal window that takes the focus). On Linux the line is split at blanks,
    // double quotes grouping (QProcess::splitCommand), and the show code is not used.
    virtual bool startCommandLine(const QString& commandLine, int showCommand) = 0;
    // A program with its arguments, passed as they are.
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
    // The text editor on a file: "notepad.exe <path>" on Windows, the desktop's default
    // application for the file elsewhere.
    virtual bool startEditor(const QString& path) = 0;
};

class SystemProgramStarter : public ProgramStarter {
public:
    bool startCommandLine(const QString& commandLine, int showCommand) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
    bool startEditor(const QString& path) override;
};

}  // namespace quorvane

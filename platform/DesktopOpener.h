#pragma once

#include <QString>

namespace quorvane {

// Opens a target (a web address or a file) with the application the desktop associates
// with it.
class DesktopOpener {
public:
    virtual ~DesktopOpener() = default;
    // False when the desktop could not open it.
    virtual bool open(const QString& operation, const QString& target, const QString& parameters,
                      const QString& directory, int showCommand) = 0;
    // Whether the system has a dialog of its own for picking a program to open a target
    // with (Windows' "Open With"); where it has none, the program offers its own choice.
    virtual bool hasSystemOpenWith() const;
};

// ShellExecute on Windows, QDesktopServices elsewhere.
class SystemDesktopOpener : public DesktopOpener {
public:
    bool open(const QString& operation, const QString& target, const QString& parameters,
              const QString& directory, int showCommand) override;
};

}  // namespace quorvane

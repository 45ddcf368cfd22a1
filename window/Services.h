#pragma once

#include <QtGlobal>

#include <functional>

namespace quorvane {

class Clock;
class DesktopOpener;
class DriveList;
class MessageBox;
class ProgramStarter;

// Replacements for the window's outside services; a null member means the real one.
// The window does not own what is passed here: it must outlive the window.
struct Services {
    MessageBox* messages = nullptr;
    ProgramStarter* starter = nullptr;
    DriveList* drives = nullptr;
    // Told the name of each option, drive, folder and pattern handler as it starts,
    // start-up included; lets tests follow how the handlers nest.
    std::function<void(const char* handler)> trace;
    // What the download link opens its page with.
    DesktopOpener* opener = nullptr;
    // What the settings store times its trust in what it last read by.
    const Clock* clock = nullptr;
    // Told, during a count, how many listed files the run has gone through, each one's
    // report line built; lets tests act at a known point of a run rather than a moment.
    std::function<void(qint64 filesDone)> countProgress;
};

}  // namespace quorvane

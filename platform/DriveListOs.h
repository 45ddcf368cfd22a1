#pragma once

#include <QString>

namespace quorvane {

// What DriveList's shared code asks of the system it runs on, one file per system in
// posix/ and win/ (which also hold MountedDrives::drives() and DriveList::isReady()).
// Private to platform/.
class DriveListOs {
public:
    // How the system compares paths: Windows ignores letter case, Linux does not.
    static Qt::CaseSensitivity pathCase();
    // The current folder the system keeps for a drive of its own (Windows keeps one for
    // every drive letter); empty where it keeps none and the program's current folder
    // decides.
    static QString keptCurrentFolder(const QString& drive);
};

}  // namespace quorvane

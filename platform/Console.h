#pragma once

#include <QStringList>

namespace quorvane {

// What a command-line program needs of the system it runs on.
class Console {
public:
    // The program's arguments, each name kept whole (see FileName): a folder or file name
    // that is not valid in the system's encoding must still reach the file it names.
    static QStringList arguments(int argc, char** argv);
    static bool standardErrorIsTerminal();
};

}  // namespace quorvane

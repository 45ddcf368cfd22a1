#include "platform/Console.h"

#include <unistd.h>

#include "platform/FileName.h"

namespace quorvane {

QStringList Console::arguments(int argc, char** argv) {
    QStringList result;
    result.reserve(argc);
    for (int i = 0; i < argc; ++i) {
        result.append(FileName::fromNative(QByteArray(argv[i])));
    }
    return result;
}

bool Console::standardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}

}  // namespace quorvane

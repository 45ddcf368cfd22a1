#include "platform/Console.h"

#include <QCoreApplication>

#include <io.h>

#include <cstdio>

namespace quorvane {

// Windows hands programs their arguments as UTF-16, which QCoreApplication reads whole.
QStringList Console::arguments(int, char**) {
    return QCoreApplication::arguments();
}

bool Console::standardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

}  // namespace quorvane

// Placeholder; being implemented.
#include "ProgramStarter.h"
namespace quorvane {
bool SystemProgramStarter::startCommandLine(const QString&, int) { return false; }
bool SystemProgramStarter::startProgram(const QString&, const QStringList&) { return false; }
bool SystemProgramStarter::startEditor(const QString&) { return false; }
}

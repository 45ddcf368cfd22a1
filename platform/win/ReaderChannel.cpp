#include "platform/ReaderProcess.h"

namespace quorvane {

// No reader worker runs on Windows yet (documents count by their bytes there).
bool ReaderChannel::confine(const ReaderLimits&, QString& error) {
    error = QStringLiteral("not supported");
    return false;
}

bool ReaderChannel::beginFile() {
    return false;
}

bool ReaderChannel::receive(qintptr&, QString&) {
    return false;
}

bool ReaderChannel::sendText(const char*, qsizetype) {
    return false;
}

bool ReaderChannel::sendEnd(ContentNotes) {
    return false;
}

bool ReaderChannel::sendAsBytes() {
    return false;
}

bool ReaderChannel::sendFailed(const QString&) {
    return false;
}

bool ReaderChannel::sendOutOfMemory() {
    return false;
}

bool ReaderChannel::parseArguments(int, char**, ReaderLimits&) {
    return false;
}

}  // namespace quorvane

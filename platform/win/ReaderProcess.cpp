#include "platform/ReaderProcess.h"

#include "platform/FileContentSource.h"

namespace quorvane {

// Windows reads no documents yet: no worker to hand them to, so they count by their
// bytes. The count's side is all this file needs until a worker for Windows follows.
struct ReaderPool::State {};

ReaderPool::ReaderPool(ReaderLimits limits, int) : limits_(limits) {}

ReaderPool::~ReaderPool() = default;

bool ReaderPool::available() {
    return false;
}

std::unique_ptr<ReaderPool::Reading> ReaderPool::read(const FileContentSource&, const QString&,
                                                      QString& reason) {
    reason = QStringLiteral("documents are not read on this system");
    return nullptr;
}

}  // namespace quorvane

#include "documents/ContentSources.h"

#include <QThread>
#include <QtGlobal>

#include "documents/ReaderContentSource.h"
#include "platform/FileContentSource.h"

namespace quorvane {

ContentSourceFactory contentSourceFactory(bool documentText, int timeoutSeconds) {
    if (documentText && ReaderPool::available()) {
        ReaderLimits limits;
        limits.timeoutMs = qMax(1, timeoutSeconds) * 1000;
        auto pool = std::make_shared<ReaderPool>(limits, qMax(1, QThread::idealThreadCount()));
        return [pool] { return std::make_unique<ReaderContentSource>(pool); };
    }
    return [] { return std::make_unique<FileContentSource>(); };
}

}  // namespace quorvane

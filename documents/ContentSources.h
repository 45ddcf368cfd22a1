#pragma once

#include <functional>
#include <memory>

#include "platform/ContentSource.h"
#include "platform/ReaderProcess.h"

namespace quorvane {

// Makes the readers of file contents a count works with; a count may ask for several.
using ContentSourceFactory = std::function<std::unique_ptr<ContentSource>()>;

// The readers a count uses: with document text off, every file as its bytes; with it on,
// a document's text as a reader worker process reads it (at most one worker per core,
// shared by every reader this factory makes) and any other file as its bytes. Where this
// system runs no workers, documents count by their bytes too.
ContentSourceFactory contentSourceFactory(
    bool documentText, int timeoutSeconds = ReaderLimits::kDefaultTimeoutSeconds);

}  // namespace quorvane

#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

#include "platform/ContentSource.h"

namespace quorvane {

class FileContentSource;

// What one reader worker may spend. Documents come from anywhere, so their parsers run in
// worker processes of their own: a file that loops, explodes or crashes a parser costs that
// file alone, never the run, the report or the window.
struct ReaderLimits {
    static constexpr int kDefaultTimeoutSeconds = 10;
    static constexpr qint64 kDefaultMemoryBytes = qint64{256} * 1024 * 1024;

    // A document whose worker sends nothing for this long is given up.
    int timeoutMs = kDefaultTimeoutSeconds * 1000;
    // The worker's own allocations, on top of what its libraries take to start.
    qint64 memoryBytes = kDefaultMemoryBytes;
};

// The count's side: worker processes started on first need, reused from file to file, at
// most `maxWorkers` at once, all killed when the pool goes. Thread-safe.
class ReaderPool {
public:
    ReaderPool(ReaderLimits limits, int maxWorkers);
    ~ReaderPool();
    ReaderPool(const ReaderPool&) = delete;
    ReaderPool& operator=(const ReaderPool&) = delete;

    // Whether this system reads documents in workers; where it does not, documents are
    // counted by their bytes.
    static bool available();

    // One document being read by one worker.
    class Reading {
    public:
        enum class Reply {
            Text,     // `text` holds the next piece of the document's text
            End,      // the whole text was sent
            AsBytes,  // no document after all: count the file's bytes
            Failed,   // `reason` says why; the file is not counted
            Waiting,  // nothing yet: ask again
        };
        virtual ~Reading() = default;
        // Waits at most `waitMs` for the worker's next word. A worker that has sent nothing
        // for the pool's timeout, or that died, makes this Failed with the reason.
        virtual Reply next(QByteArray& text, QString& reason, int waitMs) = 0;
        // What the worker said of the document with its end, once next() gave End.
        virtual ContentNotes notes() const { return {}; }
    };

    // Hands the open file to a worker: a new open of the very same file, never its name.
    // Null, with `reason`, when no worker can be had.
    std::unique_ptr<Reading> read(const FileContentSource& file, const QString& name,
                                  QString& reason);

    const ReaderLimits& limits() const { return limits_; }

    struct Worker;
    struct State;

private:
    ReaderLimits limits_;
    std::shared_ptr<State> state_;
};

// The worker's side: the files handed to this process, one at a time, and the text sent
// back. Only the reader worker program uses it.
class ReaderChannel {
public:
    // Confines this process for good: the memory limit, a processor-time limit, no new
    // privileges, and a system call filter that leaves reading files already open (and
    // read-only opens of the libraries' own data) and talking on the channel, nothing else.
    static bool confine(const ReaderLimits& limits, QString& error);
    // Before each file: the processor-time limit starts again for it. False when this
    // worker has used so much in all that it should end and be replaced.
    static bool beginFile();

    // The next file handed over; false when the count is over (the other side closed).
    static bool receive(qintptr& handle, QString& name);
    static bool sendText(const char* text, qsizetype size);
    // The end of the text, with what the reader found out about the document.
    static bool sendEnd(ContentNotes notes = {});
    static bool sendAsBytes();
    static bool sendFailed(const QString& reason);
    static bool sendOutOfMemory();

    // Parses the worker's command line into `limits`; false on anything unknown.
    static bool parseArguments(int argc, char** argv, ReaderLimits& limits);
};

}  // namespace quorvane

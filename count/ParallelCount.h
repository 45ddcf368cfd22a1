#pragma once

#include <QString>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>

#include "count/FileCount.h"
#include "count/WordRule.h"
#include "platform/ContentSource.h"
#include "platform/FileIdentity.h"

namespace quorvane {

// Counts files on worker threads, every core busy, while the thread that asked for them
// takes the results in list order. Files are handed in in that order; a large plain file,
// under a rule that allows it, is counted in parts by several workers at once. How far the workers may run ahead is
// bounded by the caller, so memory stays flat however many files there are.
class ParallelCount {
public:
    // Files of at least 4 parts are split into parts of about `partSize` bytes.
    ParallelCount(int threads, std::function<std::unique_ptr<ContentSource>()> makeSource,
                  WordRule rule, FileIdentity report, qint64 partSize = kPartSize,
                  ReadMethod readMethod = ReadMethod::Read);
    ~ParallelCount();  // stops the workers; a file in hand is abandoned

    ParallelCount(const ParallelCount&) = delete;
    ParallelCount& operator=(const ParallelCount&) = delete;

    // Queues files by number (0, 1, 2... in order) and path; the workers start on them
    // once the whole batch is in, one wake-up for all.
    void submit(const QList<std::pair<qint64, QString>>& files);
    // The result of `ticket` once it is ready, waiting at most `timeoutMs`. A caller that
    // has to wait is woken only once `alsoReady` (a later ticket) is done too, so that it
    // takes many small files per wake-up rather than one.
    bool take(qint64 ticket, qint64 alsoReady, int timeoutMs, FileResult& result);
    // Stops all reading at the next piece.
    void cancel();

    qint64 bytesRead() const { return bytesRead_.load(std::memory_order_relaxed); }

    // Large enough that a part costs little to arrange, small enough that every core
    // gets a share of a single large file.
    static constexpr qint64 kPartSize = qint64{8} * 1024 * 1024;

private:
    struct Shared;
    class Worker;

    std::unique_ptr<Shared> shared_;
    std::atomic<qint64> bytesRead_{0};
    // Results taken from the workers ahead of being asked for, in ticket order.
    std::deque<std::pair<qint64, FileResult>> taken_;
};

}  // namespace quorvane

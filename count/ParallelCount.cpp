#include "ParallelCount.h"

#include <QByteArray>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "UnicodeWordCounter.h"
#include "WordCounter.h"

namespace quorvane {

namespace {

constexpr qsizetype kReadBufferSize = qsizetype{64} * 1024;
// How far past a nominal split point a space is looked for; a part must start right
// after one so that it counts the same as in sequence.
constexpr qint64 kSpaceSearch = qint64{64} * 1024;
constexpr int kPartsBeforeSplitting = 4;

// One file counted in parts: the source all parts read, and their results.
struct SplitFile {
    std::unique_ptr<ContentSource> source;
    std::vector<qint64> starts;  // where each part begins; the last entry is the size
    std::vector<WordCounter::Part> parts;
    int partsLeft = 0;
    QString failure;
};

struct Task {
    qint64 ticket = 0;
    QString path;            // a whole file
    int part = -1;           // or a part of a split file
};

struct Slot {
    bool ready = false;
    FileTally tally;
    std::shared_ptr<SplitFile> split;
};

}  // namespace

struct ParallelCount::Shared {
    std::function<std::unique_ptr<ContentSource>()> makeSource;
    WordRule rule = WordRule::Classic;
    FileIdentity report;
    int threads = 1;
    qint64 partSize = ParallelCount::kPartSize;

    std::mutex mutex;
    std::condition_variable workReady;
    std::condition_variable tallyReady;
    std::deque<Task> tasks;
    std::unordered_map<qint64, Slot> pending;
    bool stopping = false;
    // What the taker waits for; -1 when it is not waiting.
    qint64 waitTicket = -1;
    qint64 waitAlso = -1;
    std::atomic<bool> cancelled{false};
    std::vector<std::thread> workers;
};

ParallelCount::ParallelCount(int threads,
                             std::function<std::unique_ptr<ContentSource>()> makeSource,
                             WordRule rule, FileIdentity report, qint64 partSize)
    : shared_(std::make_unique<Shared>()) {
    shared_->partSize = qMax<qint64>(partSize, 16);
    shared_->makeSource = std::move(makeSource);
    shared_->rule = rule;
    shared_->report = report;
    shared_->threads = qMax(1, threads);
    for (int i = 0; i < shared_->threads; ++i) {
        shared_->workers.emplace_back([this] { work(); });
    }
}

ParallelCount::~ParallelCount() {
    cancel();
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
    }
    shared_->workReady.notify_all();
    for (std::thread& worker : shared_->workers) {
        worker.join();
    }
}

void ParallelCount::submit(const QList<std::pair<qint64, QString>>& files) {
    if (files.isEmpty()) {
        return;
    }
    {
        const std::lock_guard lock(shared_->mutex);
        for (const auto& [ticket, path] : files) {
            shared_->pending[ticket];
            shared_->tasks.push_back({ticket, path, -1});
        }
    }
    shared_->workReady.notify_all();
}

bool ParallelCount::take(qint64 ticket, qint64 alsoReady, int timeoutMs, FileTally& tally) {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    const auto isReady = [&](qint64 t) {
        const auto found = s.pending.find(t);
        return found == s.pending.end() || found->second.ready;
    };
    if (!isReady(ticket) || !isReady(alsoReady)) {
        s.waitTicket = ticket;
        s.waitAlso = alsoReady;
        s.tallyReady.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return isReady(ticket) && isReady(alsoReady); });
        s.waitTicket = -1;
        s.waitAlso = -1;
    }
    const auto found = s.pending.find(ticket);
    if (found == s.pending.end() || !found->second.ready) {
        return false;
    }
    tally = std::move(found->second.tally);
    s.pending.erase(found);
    return true;
}

void ParallelCount::cancel() {
    shared_->cancelled.store(true, std::memory_order_relaxed);
}

void ParallelCount::work() {
    Shared& s = *shared_;
    std::unique_ptr<ContentSource> source = s.makeSource();
    QByteArray buffer(kReadBufferSize, Qt::Uninitialized);

    const auto publish = [&](qint64 ticket, FileTally tally) {
        bool wake = false;
        {
            const std::lock_guard lock(s.mutex);
            Slot& slot = s.pending[ticket];
            slot.tally = std::move(tally);
            slot.ready = true;
            slot.split.reset();
            // Only the tally the taker waits for wakes it; a wake-up costs more than
            // counting a small file.
            if (s.waitTicket >= 0) {
                const auto ready = [&](qint64 t) {
                    const auto found = s.pending.find(t);
                    return found == s.pending.end() || found->second.ready;
                };
                wake = ready(s.waitTicket) && ready(s.waitAlso);
            }
        }
        if (wake) {
            s.tallyReady.notify_one();
        }
    };

    // Counts one part of a split file; the worker that finishes the last part publishes.
    const auto countPart = [&](qint64 ticket, const std::shared_ptr<SplitFile>& file, int part) {
        WordCounter counter;
        if (part > 0) {
            counter.resumeAfterSpace();
        }
        QString error;
        bool failed = false;
        for (qint64 at = file->starts[size_t(part)]; at < file->starts[size_t(part) + 1];) {
            if (s.cancelled.load(std::memory_order_relaxed)) {
                failed = true;
                break;
            }
            const qint64 want = qMin<qint64>(buffer.size(), file->starts[size_t(part) + 1] - at);
            const qint64 got = file->source->readAt(at, buffer.data(), want, error);
            if (got <= 0) {
                // A file that shrank while it was counted is as unreadable as one that
                // fails: its words are no longer what the parts would add up to.
                if (got == 0) {
                    error = QStringLiteral("the file changed while it was counted");
                }
                failed = true;
                break;
            }
            counter.feed(buffer.constData(), static_cast<std::size_t>(got));
            bytesRead_.fetch_add(got, std::memory_order_relaxed);
            at += got;
        }
        bool last = false;
        {
            const std::lock_guard lock(s.mutex);
            file->parts[size_t(part)] = counter.part();
            if (failed && file->failure.isEmpty()) {
                file->failure = error.isEmpty() ? QStringLiteral("cancelled") : error;
            }
            last = --file->partsLeft == 0;
        }
        if (last) {
            FileTally tally;
            if (s.cancelled.load(std::memory_order_relaxed)) {
                tally.outcome = FileTally::Outcome::Cancelled;
            } else if (!file->failure.isEmpty()) {
                tally.outcome = FileTally::Outcome::Unreadable;
                tally.reason = file->failure;
            } else {
                tally.words = WordCounter::combineParts(file->parts.data(), file->parts.size());
            }
            file->source->close();
            publish(ticket, std::move(tally));
        }
    };

    // Part boundaries right after a space near every kPartSize; none where no space is
    // near (binary data), which leaves that stretch to one part.
    const auto split = [&](ContentSource& opened, qint64 size,
                           SplitFile& file) -> bool {
        file.starts = {0};
        QString error;
        const qint64 partSize = s.partSize;
        for (qint64 nominal = partSize; nominal < size - partSize / 2; nominal += partSize) {
            const qint64 from = qMax(file.starts.back() + 1, nominal - 1);
            const qint64 want = qMin(qMin(kSpaceSearch, partSize / 2), size - from);
            const qint64 got = opened.readAt(from, buffer.data(), want, error);
            if (got < 0) {
                return false;
            }
            const char* found = static_cast<const char*>(
                std::memchr(buffer.constData(), ' ', static_cast<size_t>(qMax<qint64>(got, 0))));
            if (found != nullptr) {
                const qint64 offset = found - buffer.constData();
                file.starts.push_back(from + offset + 1);
            }
        }
        file.starts.push_back(size);
        file.parts.resize(file.starts.size() - 1);
        file.partsLeft = static_cast<int>(file.parts.size());
        return file.parts.size() > 1;
    };

    for (;;) {
        Task task;
        std::shared_ptr<SplitFile> file;
        {
            std::unique_lock lock(s.mutex);
            s.workReady.wait(lock, [&] { return s.stopping || !s.tasks.empty(); });
            if (s.tasks.empty()) {
                return;  // stopping
            }
            task = std::move(s.tasks.front());
            s.tasks.pop_front();
            if (task.part >= 0) {
                file = s.pending[task.ticket].split;
            }
        }
        if (task.part >= 0) {
            countPart(task.ticket, file, task.part);
            continue;
        }

        FileTally tally;
        if (s.cancelled.load(std::memory_order_relaxed)) {
            tally.outcome = FileTally::Outcome::Cancelled;
            publish(task.ticket, std::move(tally));
            continue;
        }
        if (!source->open(task.path)) {
            tally.outcome = FileTally::Outcome::Unreadable;
            tally.reason = source->errorString();
            publish(task.ticket, std::move(tally));
            continue;
        }
        // The report may be listed under another name (--output into the folder).
        if (source->identity().sameFileAs(s.report)) {
            source->close();
            tally.outcome = FileTally::Outcome::IsReport;
            publish(task.ticket, std::move(tally));
            continue;
        }
        if (s.threads > 1 && s.rule == WordRule::Classic && source->canReadAt() &&
            source->size() >= kPartsBeforeSplitting * s.partSize) {
            auto splitFile = std::make_shared<SplitFile>();
            if (split(*source, source->size(), *splitFile)) {
                // The parts share this source; the worker takes a new one for what follows.
                splitFile->source = std::move(source);
                source = s.makeSource();
                {
                    const std::lock_guard lock(s.mutex);
                    s.pending[task.ticket].split = splitFile;
                    // Ahead of every whole file, so the file in hand is done first.
                    for (int part = static_cast<int>(splitFile->parts.size()) - 1; part >= 1;
                         --part) {
                        s.tasks.push_front({task.ticket, QString(), part});
                    }
                }
                s.workReady.notify_all();
                countPart(task.ticket, splitFile, 0);
                continue;
            }
        }

        WordCounter classic;
        UnicodeWordCounter unicode;
        for (;;) {
            if (s.cancelled.load(std::memory_order_relaxed)) {
                tally.outcome = FileTally::Outcome::Cancelled;
                break;
            }
            const qint64 got = source->read(buffer.data(), buffer.size());
            if (got < 0) {
                tally.outcome = FileTally::Outcome::Unreadable;
                tally.reason = source->errorString();
                break;
            }
            if (got == 0) {
                tally.words = s.rule == WordRule::Classic ? classic.count() : unicode.count();
                break;
            }
            if (s.rule == WordRule::Classic) {
                classic.feed(buffer.constData(), static_cast<std::size_t>(got));
            } else {
                unicode.feed(buffer.constData(), static_cast<std::size_t>(got));
            }
            bytesRead_.fetch_add(got, std::memory_order_relaxed);
        }
        source->close();
        publish(task.ticket, std::move(tally));
    }
}

}  // namespace quorvane

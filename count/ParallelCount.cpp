#include "count/ParallelCount.h"

#include <QByteArray>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "count/UnicodeWordCounter.h"
#include "count/WordCounter.h"

namespace quorvane {

namespace {

constexpr qsizetype kReadBufferSize = qsizetype{64} * 1024;
// How far past a nominal split point a space is looked for; a part must start right
// after one so that it counts the same as in sequence.
constexpr qint64 kSpaceSearch = qint64{64} * 1024;
constexpr int kPartsBeforeSplitting = 4;
// How many whole files a worker takes at a time at most, and how much it reads before it
// hands over what it has done.
constexpr std::size_t kFilesTakenAtOnce = 16;
// Stretches of plain files at least this long are mapped and counted in place rather than
// copied into the buffer first; a shorter one costs less to copy than to map. A mapped
// stretch is counted in pieces, with a look at cancelling between them.
constexpr qint64 kMapFrom = qint64{512} * 1024;
constexpr qint64 kMappedPiece = qint64{256} * 1024;
constexpr qint64 kBytesBeforePublishing = qint64{1} * 1024 * 1024;

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
    QString path;   // a whole file
    int part = -1;  // or a part of a split file
};

enum class Mapped { NotMapped, Fed, Shrank, Cancelled };

// Feeds the bytes [from, to) of an open plain file to `feed` straight from the mapped file.
template <typename Feed>
Mapped feedMapped(ContentSource& source, qint64 from, qint64 to, Feed& feed,
                  const std::atomic<bool>& cancelled, std::atomic<qint64>& bytesRead) {
    if (to - from < kMapFrom) {
        return Mapped::NotMapped;
    }
    const std::unique_ptr<MappedBytes> bytes = source.mapAt(from, to - from);
    if (!bytes) {
        return Mapped::NotMapped;
    }
    const MappedBytes::Take take = [](void* context, const char* data, std::size_t size) {
        (*static_cast<Feed*>(context))(data, size);
    };
    for (qint64 at = 0; at < to - from; at += kMappedPiece) {
        if (cancelled.load(std::memory_order_relaxed)) {
            return Mapped::Cancelled;
        }
        const qint64 size = qMin(kMappedPiece, to - from - at);
        if (!bytes->visit(at, size, take, &feed)) {
            return Mapped::Shrank;
        }
        bytesRead.fetch_add(size, std::memory_order_relaxed);
    }
    return Mapped::Fed;
}

QString changedWhileCounted() {
    return QStringLiteral("the file changed while it was counted");
}

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
    qint64 lastSubmitted = -1;
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
        shared_->lastSubmitted = qMax(shared_->lastSubmitted, files.constLast().first);
    }
    shared_->workReady.notify_all();
}

bool ParallelCount::take(qint64 ticket, qint64 alsoReady, int timeoutMs, FileTally& tally) {
    // Tickets are taken in increasing order; anything before this one is no longer wanted.
    while (!taken_.empty() && taken_.front().first < ticket) {
        taken_.pop_front();
    }
    if (!taken_.empty() && taken_.front().first == ticket) {
        tally = std::move(taken_.front().second);
        taken_.pop_front();
        return true;
    }
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
    // Every tally ready right after this one comes along, so that the files the workers
    // have done are taken without a lock each.
    for (qint64 next = ticket + 1; next <= s.lastSubmitted; ++next) {
        const auto more = s.pending.find(next);
        if (more == s.pending.end()) {
            continue;  // not handed in: the caller skips it
        }
        if (!more->second.ready) {
            break;
        }
        taken_.emplace_back(next, std::move(more->second.tally));
        s.pending.erase(more);
    }
    return true;
}

void ParallelCount::cancel() {
    shared_->cancelled.store(true, std::memory_order_relaxed);
}

void ParallelCount::work() {
    Shared& s = *shared_;
    std::unique_ptr<ContentSource> source = s.makeSource();
    // On a cache line, so that the counter starts on whole blocks.
    const auto storage = std::make_unique<char[]>(kReadBufferSize + 64);
    char* const buffer = reinterpret_cast<char*>(
        (reinterpret_cast<std::uintptr_t>(storage.get()) + 63) & ~std::uintptr_t{63});

    // Tallies of whole files wait here and are published together: a lock and a wake-up
    // cost more than counting a small file.
    std::vector<std::pair<qint64, FileTally>> done;
    qint64 bytesSincePublished = 0;
    const auto publishDone = [&] {
        if (done.empty()) {
            return;
        }
        bool wake = false;
        {
            const std::lock_guard lock(s.mutex);
            for (auto& [ticket, tally] : done) {
                Slot& slot = s.pending[ticket];
                slot.tally = std::move(tally);
                slot.ready = true;
                slot.split.reset();
            }
            // Only the tally the taker waits for wakes it.
            if (s.waitTicket >= 0) {
                const auto ready = [&](qint64 t) {
                    const auto found = s.pending.find(t);
                    return found == s.pending.end() || found->second.ready;
                };
                wake = ready(s.waitTicket) && ready(s.waitAlso);
            }
        }
        done.clear();
        bytesSincePublished = 0;
        if (wake) {
            s.tallyReady.notify_one();
        }
    };
    const auto publish = [&](qint64 ticket, FileTally tally) {
        done.emplace_back(ticket, std::move(tally));
        publishDone();
    };

    // Counts one part of a split file; the worker that finishes the last part publishes.
    const auto countPart = [&](qint64 ticket, const std::shared_ptr<SplitFile>& file, int part) {
        WordCounter counter;
        if (part > 0) {
            counter.resumeAfterSpace();
        }
        QString error;
        bool failed = false;
        const qint64 partStart = file->starts[size_t(part)];
        const qint64 partEnd = file->starts[size_t(part) + 1];
        auto feed = [&counter](const char* data, std::size_t size) { counter.feed(data, size); };
        const Mapped mapped =
            feedMapped(*file->source, partStart, partEnd, feed, s.cancelled, bytesRead_);
        if (mapped == Mapped::Shrank) {
            error = changedWhileCounted();
            failed = true;
        } else if (mapped == Mapped::Cancelled) {
            failed = true;
        }
        for (qint64 at = mapped == Mapped::NotMapped ? partStart : partEnd; at < partEnd;) {
            if (s.cancelled.load(std::memory_order_relaxed)) {
                failed = true;
                break;
            }
            const qint64 want = qMin<qint64>(kReadBufferSize, partEnd - at);
            const qint64 got = file->source->readAt(at, buffer, want, error);
            if (got <= 0) {
                // A file that shrank while it was counted is as unreadable as one that
                // fails: its words are no longer what the parts would add up to.
                if (got == 0) {
                    error = changedWhileCounted();
                }
                failed = true;
                break;
            }
            counter.feed(buffer, static_cast<std::size_t>(got));
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
    const auto split = [&](ContentSource& opened, qint64 size, SplitFile& file) -> bool {
        file.starts = {0};
        QString error;
        const qint64 partSize = s.partSize;
        for (qint64 nominal = partSize; nominal < size - partSize / 2; nominal += partSize) {
            const qint64 from = qMax(file.starts.back() + 1, nominal - 1);
            const qint64 want = qMin(qMin(kSpaceSearch, partSize / 2), size - from);
            const qint64 got = opened.readAt(from, buffer, want, error);
            if (got < 0) {
                return false;
            }
            const char* found = static_cast<const char*>(
                std::memchr(buffer, ' ', static_cast<size_t>(qMax<qint64>(got, 0))));
            if (found != nullptr) {
                const qint64 offset = found - buffer;
                file.starts.push_back(from + offset + 1);
            }
        }
        file.starts.push_back(size);
        file.parts.resize(file.starts.size() - 1);
        file.partsLeft = static_cast<int>(file.parts.size());
        return file.parts.size() > 1;
    };

    std::deque<Task> run;
    for (;;) {
        if (run.empty()) {
            publishDone();
            std::unique_lock lock(s.mutex);
            s.workReady.wait(lock, [&] { return s.stopping || !s.tasks.empty(); });
            if (s.tasks.empty()) {
                return;  // stopping
            }
            // A part alone; whole files in a run of consecutive ones, a share small enough
            // that the other workers still get theirs.
            const std::size_t share = std::clamp<std::size_t>(
                s.tasks.size() / (2 * static_cast<std::size_t>(s.threads)), 1, kFilesTakenAtOnce);
            do {
                run.push_back(std::move(s.tasks.front()));
                s.tasks.pop_front();
            } while (run.front().part < 0 && run.size() < share && !s.tasks.empty() &&
                     s.tasks.front().part < 0);
        }
        Task task = std::move(run.front());
        run.pop_front();
        if (task.part >= 0) {
            std::shared_ptr<SplitFile> file;
            {
                const std::lock_guard lock(s.mutex);
                file = s.pending[task.ticket].split;
            }
            countPart(task.ticket, file, task.part);
            continue;
        }

        // Held tallies go out before a file that may take long, and once enough was read
        // that the taker should see them.
        if (bytesSincePublished >= kBytesBeforePublishing) {
            publishDone();
        }
        FileTally tally;
        if (s.cancelled.load(std::memory_order_relaxed)) {
            tally.outcome = FileTally::Outcome::Cancelled;
            done.emplace_back(task.ticket, std::move(tally));
            continue;
        }
        if (!source->open(task.path)) {
            tally.outcome = FileTally::Outcome::Unreadable;
            tally.reason = source->errorString();
            done.emplace_back(task.ticket, std::move(tally));
            continue;
        }
        // The report may be listed under another name (--output into the folder).
        if (source->identity().sameFileAs(s.report)) {
            source->close();
            tally.outcome = FileTally::Outcome::IsReport;
            done.emplace_back(task.ticket, std::move(tally));
            continue;
        }
        if (!done.empty() && (!source->canReadAt() || source->size() >= kBytesBeforePublishing)) {
            publishDone();
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
        auto feed = [&](const char* data, std::size_t size) {
            if (s.rule == WordRule::Classic) {
                classic.feed(data, size);
            } else {
                unicode.feed(data, size);
            }
        };
        // The size the file had when it was opened, mapped; anything it has gained since
        // is read after it, as a file that grows is read to its new end.
        qint64 position = 0;
        const Mapped mapped = source->canReadAt() ? feedMapped(*source, 0, source->size(), feed,
                                                               s.cancelled, bytesRead_)
                                                  : Mapped::NotMapped;
        if (mapped == Mapped::Fed) {
            position = source->size();
            bytesSincePublished += position;
        }
        for (;;) {
            if (mapped == Mapped::Cancelled || s.cancelled.load(std::memory_order_relaxed)) {
                tally.outcome = FileTally::Outcome::Cancelled;
                break;
            }
            if (mapped == Mapped::Shrank) {
                tally.outcome = FileTally::Outcome::Unreadable;
                tally.reason = changedWhileCounted();
                break;
            }
            QString error;
            const qint64 got = mapped == Mapped::Fed
                                   ? source->readAt(position, buffer, kReadBufferSize, error)
                                   : source->read(buffer, kReadBufferSize);
            if (got == ContentSource::kNotYet) {
                continue;  // the loop's head looks at cancelling
            }
            if (got < 0) {
                tally.outcome = FileTally::Outcome::Unreadable;
                tally.reason = mapped == Mapped::Fed ? error : source->errorString();
                break;
            }
            if (got == 0) {
                tally.words = s.rule == WordRule::Classic ? classic.count() : unicode.count();
                break;
            }
            feed(buffer, static_cast<std::size_t>(got));
            position += got;
            bytesRead_.fetch_add(got, std::memory_order_relaxed);
            bytesSincePublished += got;
        }
        source->close();
        done.emplace_back(task.ticket, std::move(tally));
    }
}

}  // namespace quorvane

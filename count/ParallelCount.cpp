#include "count/ParallelCount.h"

#include <QByteArray>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "count/RuleCounter.h"
#include "platform/FileBatch.h"
#include "platform/FileContentSource.h"
#include "platform/HeldContentSource.h"

namespace quorvane {

namespace {

// How far past a nominal split point a place to start a part is looked for.
constexpr qint64 kStartSearch = qint64{64} * 1024;
constexpr int kPartsBeforeSplitting = 4;
// How many whole files a worker takes at a time at most, and how much it reads before it
// hands over what it has done.
constexpr std::size_t kFilesTakenAtOnce = 16;
constexpr qint64 kBytesBeforePublishing = qint64{1} * 1024 * 1024;
constexpr qint64 kBytesBeforeShowing = qint64{256} * 1024;

// One file counted in parts: the source all parts read, and their results.
struct SplitFile {
    std::unique_ptr<ContentSource> source;
    QByteArray head;             // the file's first bytes, which every later part is told
    FileWarnings warnings;       // what those bytes say of the file
    std::vector<qint64> starts;  // where each part begins; the last entry is the size
    std::vector<RuleCounter::Part> parts;
    int partsLeft = 0;
    QString failure;
};

struct Task {
    qint64 ticket = 0;
    QString path;   // a whole file
    int part = -1;  // or a part of a split file
};

struct Slot {
    bool ready = false;
    FileResult result;
    std::shared_ptr<SplitFile> split;
};

}  // namespace

struct ParallelCount::Shared {
    std::function<std::unique_ptr<ContentSource>()> makeSource;
    WordRule rule = WordRule::Classic;
    FileIdentity report;
    int threads = 1;
    qint64 partSize = ParallelCount::kPartSize;
    ReadMethod readMethod = ReadMethod::Read;

    std::mutex mutex;
    std::condition_variable workReady;
    std::condition_variable resultReady;
    std::deque<Task> tasks;
    std::unordered_map<qint64, Slot> pending;
    qint64 lastSubmitted = -1;
    bool stopping = false;
    // What the taker waits for; -1 when it is not waiting.
    qint64 waitTicket = -1;
    qint64 waitAlso = -1;
    std::atomic<bool> cancelled{false};
    std::vector<std::thread> workers;

    // Whether `ticket` is done, or was never handed in; under the lock.
    bool isReady(qint64 ticket) const {
        const auto found = pending.find(ticket);
        return found == pending.end() || found->second.ready;
    }
};

// One worker thread: takes runs of tasks, counts whole files and parts of split ones,
// and publishes what it has done.
class ParallelCount::Worker {
public:
    explicit Worker(ParallelCount& owner)
        : owner_(owner),
          s_(*owner.shared_),
          source_(s_.makeSource()),
          fileCount_(s_.rule, s_.readMethod,
                     [this](qint64 bytes) { return counted(bytes); }),
          mayReadAhead_(s_.readMethod == ReadMethod::Read &&
                        dynamic_cast<FileContentSource*>(source_.get()) != nullptr) {}

    void run();

private:
    bool counted(qint64 bytes);
    bool takeRun();
    void countWhole(const Task& task);
    bool countInParts(qint64 ticket);
    bool findParts(SplitFile& file);
    void countPart(qint64 ticket, const std::shared_ptr<SplitFile>& file, int part);
    void publishDone();
    void readAhead();
    ContentSource* readAheadFor(qint64 ticket);
    void publish(qint64 ticket, FileResult result) {
        done_.emplace_back(ticket, std::move(result));
        publishDone();
    }

    ParallelCount& owner_;
    Shared& s_;
    std::unique_ptr<ContentSource> source_;
    FileCount fileCount_;
    // The whole files of the run in hand, read ahead together where the system can, and
    // which ticket each one is.
    bool mayReadAhead_;
    std::unique_ptr<FileBatch> batch_;  // made for the first run of several files
    std::vector<qint64> batchTickets_;
    HeldContentSource held_;
    std::deque<Task> run_;
    // Results of whole files wait here and are published together: a lock and a wake-up
    // cost more than counting a small file.
    std::vector<std::pair<qint64, FileResult>> done_;
    qint64 bytesSincePublished_ = 0;
    // Bytes read and not yet added to the shared figure: both workers adding to it after
    // every small file would pass its cache line back and forth thousands of times.
    qint64 unshownBytes_ = 0;
    void showBytes() {
        owner_.bytesRead_.fetch_add(unshownBytes_, std::memory_order_relaxed);
        unshownBytes_ = 0;
    }
};

void ParallelCount::Worker::run() {
    for (;;) {
        if (run_.empty() && !takeRun()) {
            return;  // stopping
        }
        const Task task = std::move(run_.front());
        run_.pop_front();
        if (task.part < 0) {
            countWhole(task);
            continue;
        }
        std::shared_ptr<SplitFile> file;
        {
            const std::lock_guard lock(s_.mutex);
            file = s_.pending[task.ticket].split;
        }
        countPart(task.ticket, file, task.part);
    }
}

// What every piece counted goes through: the bytes read so far, and whether to go on.
bool ParallelCount::Worker::counted(qint64 bytes) {
    if (bytes > 0) {
        bytesSincePublished_ += bytes;
        unshownBytes_ += bytes;
        if (unshownBytes_ >= kBytesBeforeShowing) {
            showBytes();
        }
    }
    return !s_.cancelled.load(std::memory_order_relaxed);
}

// Waits for tasks and takes a run of them; false once the workers stop.
bool ParallelCount::Worker::takeRun() {
    publishDone();
    std::unique_lock lock(s_.mutex);
    s_.workReady.wait(lock, [&] { return s_.stopping || !s_.tasks.empty(); });
    if (s_.tasks.empty()) {
        return false;
    }
    // A part alone; whole files in a run of consecutive ones, a share small enough that
    // the other workers still get theirs.
    const std::size_t share = std::clamp<std::size_t>(
        s_.tasks.size() / (2 * static_cast<std::size_t>(s_.threads)), 1, kFilesTakenAtOnce);
    do {
        run_.push_back(std::move(s_.tasks.front()));
        s_.tasks.pop_front();
    } while (run_.front().part < 0 && run_.size() < share && !s_.tasks.empty() &&
             s_.tasks.front().part < 0);
    lock.unlock();
    readAhead();
    return true;
}

void ParallelCount::Worker::readAhead() {
    batchTickets_.clear();
    if (!mayReadAhead_ || run_.size() < 2 || run_.front().part >= 0) {
        return;
    }
    if (!batch_) {
        batch_ = std::make_unique<FileBatch>();
        mayReadAhead_ = batch_->available();
        if (!mayReadAhead_) {
            return;
        }
    }
    QList<QString> paths;
    for (const Task& task : run_) {
        if (paths.size() == FileBatch::kFiles) {
            break;
        }
        paths.append(task.path);
        batchTickets_.push_back(task.ticket);
    }
    batch_->read(paths);
}

// The file read ahead for `ticket`: held whole, or open and taken over by the worker's
// own source; null when the worker's source is to open it by name as usual.
ContentSource* ParallelCount::Worker::readAheadFor(qint64 ticket) {
    for (size_t i = 0; i < batchTickets_.size(); ++i) {
        if (batchTickets_[i] != ticket) {
            continue;
        }
        const auto index = static_cast<qsizetype>(i);
        const FileBatch::File& file = batch_->file(index);
        if (file.held) {
            held_.hold(file.bytes, file.identity);
            return &held_;
        }
        const qintptr handle = batch_->takeHandle(index);
        auto* plain = dynamic_cast<FileContentSource*>(source_.get());
        if (handle >= 0 && plain != nullptr && plain->adopt(handle)) {
            return plain;
        }
        return nullptr;
    }
    return nullptr;
}

void ParallelCount::Worker::countWhole(const Task& task) {
    // Held results go out before a file that may take long, and once enough was read
    // that the taker should see them.
    if (bytesSincePublished_ >= kBytesBeforePublishing) {
        publishDone();
    }
    if (s_.cancelled.load(std::memory_order_relaxed)) {
        FileResult cancelled;
        cancelled.outcome = FileResult::Outcome::Cancelled;
        done_.emplace_back(task.ticket, std::move(cancelled));
        return;
    }
    ContentSource* const opened = readAheadFor(task.ticket);
    ContentSource& source = opened != nullptr ? *opened : *source_;
    if (std::optional<FileResult> refused =
            opened != nullptr ? fileCount_.checkOpened(source, s_.report)
                              : fileCount_.open(source, task.path, s_.report)) {
        done_.emplace_back(task.ticket, std::move(*refused));
        return;
    }
    if (!done_.empty() && (!source.canReadAt() || source.size() >= kBytesBeforePublishing)) {
        publishDone();
    }
    if (&source == source_.get() && s_.threads > 1 && RuleCounter::splits(s_.rule) &&
        source.canReadAt() && source.size() >= kPartsBeforeSplitting * s_.partSize &&
        countInParts(task.ticket)) {
        return;
    }
    done_.emplace_back(task.ticket, fileCount_.countOpened(source));
}

// Hands the parts of the open file to the workers and counts the first; false where the
// file has no place to split it.
bool ParallelCount::Worker::countInParts(qint64 ticket) {
    auto file = std::make_shared<SplitFile>();
    if (!findParts(*file)) {
        return false;
    }
    // The parts share this source; the worker takes a new one for what follows.
    file->source = std::move(source_);
    source_ = s_.makeSource();
    {
        const std::lock_guard lock(s_.mutex);
        s_.pending[ticket].split = file;
        // Ahead of every whole file, so the file in hand is done first.
        for (int part = static_cast<int>(file->parts.size()) - 1; part >= 1; --part) {
            s_.tasks.push_front({ticket, QString(), part});
        }
    }
    s_.workReady.notify_all();
    countPart(ticket, file, 0);
    return true;
}

// Part boundaries where the rule allows one near every partSize; none where it finds no
// place near (binary data), which leaves that stretch to one part.
bool ParallelCount::Worker::findParts(SplitFile& file) {
    ContentSource& opened = *source_;
    const qint64 size = opened.size();
    char* const buffer = fileCount_.buffer();
    QString error;
    const qint64 headSize =
        opened.readAt(0, buffer, qMin<qint64>(kWarningHeadSize, size), error);
    if (headSize < 0) {
        return false;
    }
    file.warnings = fileCount_.warningsAt(QByteArrayView(buffer, headSize));
    file.head = QByteArray(buffer, qMin<qint64>(RuleCounter::kHeadSize, headSize));
    file.starts = {0};
    const qint64 partSize = s_.partSize;
    for (qint64 nominal = partSize; nominal < size - partSize / 2; nominal += partSize) {
        const qint64 from = qMax(file.starts.back() + 1, nominal - 1);
        const qint64 want = qMin(qMin(kStartSearch, partSize / 2), size - from);
        const qint64 got = opened.readAt(from, buffer, want, error);
        if (got < 0) {
            return false;
        }
        const qint64 start =
            RuleCounter::partStartIn(s_.rule, buffer, std::size_t(got), from, file.head);
        if (start >= 0) {
            file.starts.push_back(from + start);
        }
    }
    file.starts.push_back(size);
    file.parts.resize(file.starts.size() - 1);
    file.partsLeft = static_cast<int>(file.parts.size());
    return file.parts.size() > 1;
}

// Counts one part of a split file; the worker that finishes the last part publishes.
void ParallelCount::Worker::countPart(qint64 ticket, const std::shared_ptr<SplitFile>& file,
                                      int part) {
    RuleCounter counter =
        part > 0 ? RuleCounter::forLaterPart(s_.rule, file->head) : RuleCounter(s_.rule);
    QString error;
    const FileCount::PartOutcome outcome =
        fileCount_.feedPart(*file->source, file->starts[std::size_t(part)],
                            file->starts[std::size_t(part) + 1], counter, error);
    bool last = false;
    {
        const std::lock_guard lock(s_.mutex);
        file->parts[std::size_t(part)] = counter.part();
        if (outcome != FileCount::PartOutcome::Fed && file->failure.isEmpty()) {
            file->failure = error.isEmpty() ? QStringLiteral("cancelled") : error;
        }
        last = --file->partsLeft == 0;
    }
    if (!last) {
        return;
    }
    FileResult result;
    if (s_.cancelled.load(std::memory_order_relaxed)) {
        result.outcome = FileResult::Outcome::Cancelled;
    } else if (!file->failure.isEmpty()) {
        result.outcome = FileResult::Outcome::Unreadable;
        result.reason = file->failure;
    } else {
        result.words = RuleCounter::combineParts(s_.rule, file->parts);
        result.warnings = file->warnings;
    }
    file->source->close();
    publish(ticket, std::move(result));
}

void ParallelCount::Worker::publishDone() {
    if (unshownBytes_ > 0) {
        showBytes();
    }
    if (done_.empty()) {
        return;
    }
    bool wake = false;
    {
        const std::lock_guard lock(s_.mutex);
        for (auto& [ticket, result] : done_) {
            Slot& slot = s_.pending[ticket];
            slot.result = std::move(result);
            slot.ready = true;
            slot.split.reset();
        }
        // Only the result the taker waits for wakes it.
        wake = s_.waitTicket >= 0 && s_.isReady(s_.waitTicket) && s_.isReady(s_.waitAlso);
    }
    done_.clear();
    bytesSincePublished_ = 0;
    if (wake) {
        s_.resultReady.notify_one();
    }
}

ParallelCount::ParallelCount(int threads,
                             std::function<std::unique_ptr<ContentSource>()> makeSource,
                             WordRule rule, FileIdentity report, qint64 partSize,
                             ReadMethod readMethod)
    : shared_(std::make_unique<Shared>()) {
    shared_->readMethod = readMethod;
    shared_->partSize = qMax<qint64>(partSize, 16);
    shared_->makeSource = std::move(makeSource);
    shared_->rule = rule;
    shared_->report = report;
    shared_->threads = qMax(1, threads);
    for (int i = 0; i < shared_->threads; ++i) {
        shared_->workers.emplace_back([this] {
            Worker worker(*this);
            worker.run();
        });
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

bool ParallelCount::take(qint64 ticket, qint64 alsoReady, int timeoutMs, FileResult& result) {
    // Tickets are taken in increasing order; anything before this one is no longer wanted.
    while (!taken_.empty() && taken_.front().first < ticket) {
        taken_.pop_front();
    }
    if (!taken_.empty() && taken_.front().first == ticket) {
        result = std::move(taken_.front().second);
        taken_.pop_front();
        return true;
    }
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    if (!s.isReady(ticket) || !s.isReady(alsoReady)) {
        s.waitTicket = ticket;
        s.waitAlso = alsoReady;
        s.resultReady.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return s.isReady(ticket) && s.isReady(alsoReady); });
        s.waitTicket = -1;
        s.waitAlso = -1;
    }
    const auto found = s.pending.find(ticket);
    if (found == s.pending.end() || !found->second.ready) {
        return false;
    }
    result = std::move(found->second.result);
    s.pending.erase(found);
    // Every result ready right after this one comes along, so that the files the workers
    // have done are taken without a lock each.
    for (qint64 next = ticket + 1; next <= s.lastSubmitted; ++next) {
        const auto more = s.pending.find(next);
        if (more == s.pending.end()) {
            continue;  // not handed in: the caller skips it
        }
        if (!more->second.ready) {
            break;
        }
        taken_.emplace_back(next, std::move(more->second.result));
        s.pending.erase(more);
    }
    return true;
}

void ParallelCount::cancel() {
    shared_->cancelled.store(true, std::memory_order_relaxed);
}

}  // namespace quorvane

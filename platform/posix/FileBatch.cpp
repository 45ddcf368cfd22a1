#include "platform/FileBatch.h"

#include <fcntl.h>
#include <liburing.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "platform/FileName.h"

namespace quorvane {

namespace {

enum class Step : quint64 { Open, Stat, Read, Close };

quint64 tagOf(Step step, size_t index) {
    return (static_cast<quint64>(step) << 32) | index;
}

bool isHeldSize(const struct statx& info) {
    return (info.stx_mask & (STATX_TYPE | STATX_SIZE)) == (STATX_TYPE | STATX_SIZE) &&
           S_ISREG(info.stx_mode) && info.stx_size > 0 &&
           info.stx_size <= static_cast<quint64>(FileBatch::kSlotBytes);
}

}  // namespace

struct FileBatch::Ring {
    struct Entry {
        int fd = -1;
        bool closing = false;  // its close was handed to the kernel
        bool stated = false;
        struct statx info = {};
        int got = -1;
    };

    struct io_uring ring = {};
    bool working = false;
    std::unique_ptr<char[]> space;
    std::array<Entry, kFiles> entries;

    Ring() {
        working = io_uring_queue_init(2 * kFiles, &ring, 0) == 0;
        if (working) {
            space = std::make_unique_for_overwrite<char[]>(kFiles * kSlotBytes);
        }
    }
    ~Ring() {
        if (working) {
            io_uring_queue_exit(&ring);
        }
    }
    char* slot(size_t index) { return space.get() + index * kSlotBytes; }
    struct io_uring_sqe* next(Step step, size_t index) {
        struct io_uring_sqe* sqe = io_uring_get_sqe(&ring);
        io_uring_sqe_set_data64(sqe, tagOf(step, index));
        return sqe;
    }
    bool run(unsigned queued);
    void take(quint64 tag, int result);
    void queueCloses(size_t count);
    void giveUp(size_t count);
};

// Hands the queued steps to the kernel and takes their outcomes; false when the kernel
// took fewer than queued or would not say how they went.
bool FileBatch::Ring::run(unsigned queued) {
    int submitted = 0;
    do {
        submitted = io_uring_submit(&ring);
    } while (submitted == -EINTR);
    if (submitted != static_cast<int>(queued)) {
        return false;
    }
    for (unsigned done = 0; done < queued; ++done) {
        struct io_uring_cqe* cqe = nullptr;
        int waited = 0;
        do {
            waited = io_uring_wait_cqe(&ring, &cqe);
        } while (waited == -EINTR);
        if (waited < 0) {
            return false;
        }
        take(io_uring_cqe_get_data64(cqe), cqe->res);
        io_uring_cqe_seen(&ring, cqe);
    }
    return true;
}

void FileBatch::Ring::take(quint64 tag, int result) {
    Entry& entry = entries[static_cast<size_t>(tag & 0xffffffffu)];
    switch (static_cast<Step>(tag >> 32)) {
        case Step::Open:
            entry.fd = result >= 0 ? result : -1;
            break;
        case Step::Stat:
            entry.stated = result == 0;
            break;
        case Step::Read:
            entry.got = result;
            break;
        case Step::Close:
            entry.fd = -1;
            break;
    }
}

// Reads every plain file small enough for its slot and closes it, and closes every open
// file that is not plain; a close is linked after its file's read so that it cannot run
// first. Larger plain files stay open.
void FileBatch::Ring::queueCloses(size_t count) {
    unsigned queued = 0;
    for (size_t i = 0; i < count; ++i) {
        Entry& entry = entries[i];
        if (entry.fd < 0) {
            continue;
        }
        if (entry.stated && S_ISREG(entry.info.stx_mode) && !isHeldSize(entry.info)) {
            continue;  // kept open for the caller
        }
        if (entry.stated && isHeldSize(entry.info)) {
            struct io_uring_sqe* read = next(Step::Read, i);
            io_uring_prep_read(read, entry.fd, slot(i), kSlotBytes, 0);
            io_uring_sqe_set_flags(read, IOSQE_IO_HARDLINK);  // a short read must not cancel it
            ++queued;
        }
        io_uring_prep_close(next(Step::Close, i), entry.fd);
        entry.closing = true;
        ++queued;
    }
    working = run(queued);
}

// After a step the kernel would not finish: closes what it never was asked to close, and
// reads no more batches, rather than risk closing a descriptor twice.
void FileBatch::Ring::giveUp(size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (entries[i].fd >= 0 && !entries[i].closing) {
            ::close(entries[i].fd);
        }
        entries[i] = Entry{};
    }
    working = false;
}

FileBatch::FileBatch() : ring_(std::make_unique<Ring>()) {}

FileBatch::~FileBatch() {
    closeHandles();
}

bool FileBatch::available() const {
    return ring_->working;
}

qintptr FileBatch::takeHandle(qsizetype index) {
    const qintptr handle = handles_[static_cast<size_t>(index)];
    handles_[static_cast<size_t>(index)] = -1;
    return handle;
}

void FileBatch::closeHandles() {
    for (qintptr& handle : handles_) {
        if (handle >= 0) {
            ::close(static_cast<int>(handle));
            handle = -1;
        }
    }
}

void FileBatch::read(const QList<QString>& paths) {
    const size_t count = static_cast<size_t>(qMin<qsizetype>(paths.size(), kFiles));
    closeHandles();
    files_.assign(count, File{});
    handles_.assign(count, -1);
    Ring& r = *ring_;
    if (!r.working || count == 0) {
        return;
    }
    std::array<QByteArray, kFiles> natives;  // alive until every open is done
    for (size_t i = 0; i < count; ++i) {
        r.entries[i] = Ring::Entry{};
        natives[i] = FileName::toNative(paths[static_cast<qsizetype>(i)]);
        // O_NONBLOCK: a FIFO or device put in a listed file's place must not wait.
        io_uring_prep_openat(r.next(Step::Open, i), AT_FDCWD, natives[i].constData(),
                             O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    }
    bool ran = r.run(static_cast<unsigned>(count));
    unsigned stats = 0;
    for (size_t i = 0; ran && i < count; ++i) {
        if (r.entries[i].fd >= 0) {
            io_uring_prep_statx(r.next(Step::Stat, i), r.entries[i].fd, "",
                                AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, STATX_TYPE | STATX_SIZE |
                                STATX_INO, &r.entries[i].info);
            ++stats;
        }
    }
    ran = ran && r.run(stats);
    if (ran) {
        r.queueCloses(count);
    }
    if (!r.working) {
        r.giveUp(count);
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        const Ring::Entry& entry = r.entries[i];
        if (entry.fd >= 0) {
            handles_[i] = entry.fd;  // a plain file too large to hold
            continue;
        }
        if (entry.stated && isHeldSize(entry.info) &&
            static_cast<quint64>(entry.got) == entry.info.stx_size) {
            File& file = files_[i];
            file.held = true;
            file.identity = {static_cast<quint64>(makedev(entry.info.stx_dev_major,
                                                          entry.info.stx_dev_minor)),
                             entry.info.stx_ino, true};
            file.bytes = QByteArrayView(r.slot(i), entry.got);
        }
    }
}

}  // namespace quorvane

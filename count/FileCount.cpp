#include "count/FileCount.h"

#include <cstdint>

#include "platform/MappedBytes.h"

namespace quorvane {

namespace {

// Stretches of plain files at least this long are mapped and counted in place rather than
// copied into the buffer first; a shorter one costs less to copy than to map. A mapped
// stretch is counted in pieces, with a look at cancelling between them.
constexpr qint64 kMapFrom = qint64{512} * 1024;
constexpr qint64 kMappedPiece = qint64{256} * 1024;

QString changedWhileCounted() {
    return QStringLiteral("the file changed while it was counted");
}

// Looks at the first bytes of a mapped file through `count`, inside visit(), where a file
// that shrank under them is a failure rather than a fault; false when it shrank.
bool lookAtMappedHead(const FileCount& count, MappedBytes& bytes, qint64 size,
                      FileWarnings& warnings) {
    struct Look {
        const FileCount* count;
        FileWarnings* warnings;
    } look{&count, &warnings};
    const MappedBytes::Take take = [](void* context, const char* data, std::size_t got) {
        const Look* look = static_cast<Look*>(context);
        *look->warnings = look->count->warningsAt(QByteArrayView(data, qsizetype(got)));
    };
    return bytes.visit(0, qMin<qint64>(size, kWarningHeadSize), take, &look);
}

FileResult withOutcome(FileResult::Outcome outcome, const QString& reason = QString()) {
    FileResult result;
    result.outcome = outcome;
    result.reason = reason;
    return result;
}

}  // namespace

FileCount::FileCount(WordRule rule, ReadMethod method, MayGoOn mayGoOn)
    : rule_(rule),
      method_(method),
      mayGoOn_(std::move(mayGoOn)),
      storage_(std::make_unique_for_overwrite<char[]>(kBufferSize + 64)) {
    // On a cache line, so that the counter starts on whole blocks.
    buffer_ = reinterpret_cast<char*>(
        (reinterpret_cast<std::uintptr_t>(storage_.get()) + 63) & ~std::uintptr_t{63});
}

FileCount::~FileCount() = default;

FileResult FileCount::countWhole(ContentSource& source, const QString& path,
                                 const FileIdentity& report) {
    if (std::optional<FileResult> refused = open(source, path, report)) {
        return std::move(*refused);
    }
    return countOpened(source);
}

std::optional<FileResult> FileCount::open(ContentSource& source, const QString& path,
                                          const FileIdentity& report) {
    if (!source.open(path)) {
        return withOutcome(FileResult::Outcome::Unreadable, source.errorString());
    }
    return checkOpened(source, report);
}

std::optional<FileResult> FileCount::checkOpened(ContentSource& source,
                                                 const FileIdentity& report) {
    // The report may be listed under another name (--output into the folder).
    if (source.identity().sameFileAs(report)) {
        source.close();
        return withOutcome(FileResult::Outcome::IsReport);
    }
    return std::nullopt;
}

FileResult FileCount::countOpened(ContentSource& source) {
    RuleCounter counter(rule_);
    FileWarnings warnings;
    // The size the file had when it was opened, mapped; anything it has gained since is
    // read after it, as a file that grows is read to its new end.
    const Mapped mapped = method_ == ReadMethod::Map && source.canReadAt()
                              ? feedMapped(source, 0, source.size(), counter, &warnings)
                              : Mapped::NotMapped;
    FileResult result;
    if (mapped == Mapped::Shrank) {
        result = withOutcome(FileResult::Outcome::Unreadable, changedWhileCounted());
    } else if (mapped == Mapped::Cancelled) {
        result = withOutcome(FileResult::Outcome::Cancelled);
    } else {
        const bool fed = mapped == Mapped::Fed;
        result = readToEnd(source, fed ? source.size() : -1, counter, fed ? nullptr : &warnings);
    }
    if (result.outcome == FileResult::Outcome::Counted) {
        result.warnings = warnings | warningsFor(source.notes());
    }
    source.close();
    return result;
}

FileWarnings FileCount::warningsAt(QByteArrayView head) const {
    return rule_ == WordRule::Classic ? warningsFor(head) : FileWarnings();
}

FileResult FileCount::readToEnd(ContentSource& source, qint64 position, RuleCounter& counter,
                                FileWarnings* head) {
    for (;;) {
        QString error;
        const qint64 got = position >= 0 ? source.readAt(position, buffer_, kBufferSize, error)
                                         : source.read(buffer_, kBufferSize);
        if (got == ContentSource::kNotYet) {
            if (!mayGoOn_(0)) {
                return withOutcome(FileResult::Outcome::Cancelled);
            }
            continue;
        }
        if (got < 0) {
            return withOutcome(FileResult::Outcome::Unreadable,
                               position >= 0 ? error : source.errorString());
        }
        if (got == 0) {
            FileResult result;
            result.words = counter.count();
            return result;
        }
        if (head != nullptr) {
            *head = warningsAt(QByteArrayView(buffer_, got));
            head = nullptr;
        }
        counter.feed(buffer_, static_cast<std::size_t>(got));
        if (position >= 0) {
            position += got;
        }
        if (!mayGoOn_(got)) {
            return withOutcome(FileResult::Outcome::Cancelled);
        }
    }
}

FileCount::PartOutcome FileCount::feedPart(ContentSource& source, qint64 from, qint64 to,
                                           RuleCounter& counter, QString& error) {
    if (!mayGoOn_(0)) {
        return PartOutcome::Cancelled;
    }
    const Mapped mapped = method_ == ReadMethod::Map
                              ? feedMapped(source, from, to, counter)
                              : Mapped::NotMapped;
    switch (mapped) {
        case Mapped::Fed:
            return PartOutcome::Fed;
        case Mapped::Cancelled:
            return PartOutcome::Cancelled;
        case Mapped::Shrank:
            error = changedWhileCounted();
            return PartOutcome::Failed;
        case Mapped::NotMapped:
            break;
    }
    for (qint64 at = from; at < to;) {
        const qint64 got = source.readAt(at, buffer_, qMin<qint64>(kBufferSize, to - at), error);
        if (got <= 0) {
            // A file that shrank while it was counted is as unreadable as one that fails:
            // its words are no longer what the parts would add up to.
            if (got == 0) {
                error = changedWhileCounted();
            }
            return PartOutcome::Failed;
        }
        counter.feed(buffer_, static_cast<std::size_t>(got));
        at += got;
        if (!mayGoOn_(got)) {
            return PartOutcome::Cancelled;
        }
    }
    return PartOutcome::Fed;
}

// Feeds the bytes [from, to) of an open plain file straight from the mapped file.
FileCount::Mapped FileCount::feedMapped(ContentSource& source, qint64 from, qint64 to,
                                        RuleCounter& counter, FileWarnings* head) {
    if (to - from < kMapFrom) {
        return Mapped::NotMapped;
    }
    const std::unique_ptr<MappedBytes> bytes = source.mapAt(from, to - from);
    if (!bytes) {
        return Mapped::NotMapped;
    }
    if (head != nullptr && from == 0 && !lookAtMappedHead(*this, *bytes, to, *head)) {
        return Mapped::Shrank;
    }
    const MappedBytes::Take take = [](void* context, const char* data, std::size_t size) {
        static_cast<RuleCounter*>(context)->feed(data, size);
    };
    for (qint64 at = 0; at < to - from; at += kMappedPiece) {
        const qint64 size = qMin(kMappedPiece, to - from - at);
        if (!bytes->visit(at, size, take, &counter)) {
            return Mapped::Shrank;
        }
        if (!mayGoOn_(size)) {
            return Mapped::Cancelled;
        }
    }
    return Mapped::Fed;
}

}  // namespace quorvane

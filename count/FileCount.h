#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "count/FileWarnings.h"
#include "count/RuleCounter.h"
#include "count/WordRule.h"
#include "platform/ContentSource.h"
#include "platform/FileIdentity.h"

namespace quorvane {

// How a file's bytes reach the counter: read into a buffer (runs of small plain files
// read ahead together), read into a buffer one file at a time, or mapped into memory and
// counted in place (long stretches of plain files only).
enum class ReadMethod { Read, ReadEach, Map };

// What counting one file came to.
struct FileResult {
    enum class Outcome { Counted, Unreadable, IsReport, Cancelled };
    Outcome outcome = Outcome::Counted;
    qint64 words = 0;
    QString reason;  // for Unreadable
    FileWarnings warnings;  // for Counted
};

// Counts one file, whole or one part of it, by one word rule: reads it through one reused
// buffer (or, when asked to map, counts its long plain stretches in place) and feeds a
// RuleCounter. Whoever runs it decides, after every piece, whether the count may go on.
class FileCount {
public:
    // Told how many bytes were just counted (0 while a source has nothing yet); false
    // stops the count as cancelled.
    using MayGoOn = std::function<bool(qint64 bytesCounted)>;
    FileCount(WordRule rule, ReadMethod method, MayGoOn mayGoOn);
    ~FileCount();

    FileCount(const FileCount&) = delete;
    FileCount& operator=(const FileCount&) = delete;

    // Opens `path` and counts it to its end.
    FileResult countWhole(ContentSource& source, const QString& path, const FileIdentity& report);
    // Opens `path`: nothing when it is open and to be counted, else why it is not (it
    // could not be opened, or it is the report under another name).
    std::optional<FileResult> open(ContentSource& source, const QString& path,
                                   const FileIdentity& report);
    // The same for a source already open (a file read ahead): refused only when it is the
    // report.
    std::optional<FileResult> checkOpened(ContentSource& source, const FileIdentity& report);
    // Counts a file open() left open to its end, and closes it.
    FileResult countOpened(ContentSource& source);

    enum class PartOutcome { Fed, Failed, Cancelled };
    // Feeds `counter` the bytes [from, to) of an open file that can be read at any offset.
    // A failure's reason goes to `error`, as several threads may count parts of one file.
    PartOutcome feedPart(ContentSource& source, qint64 from, qint64 to, RuleCounter& counter,
                         QString& error);

    // What the first bytes of a file say of it, under this count's rule; only a rule that
    // reads bytes as they are has anything to warn of.
    FileWarnings warningsAt(QByteArrayView head) const;

    // The read buffer, on a cache line, for callers that look at an open file themselves.
    char* buffer() const { return buffer_; }
    // Large enough that a read costs little next to counting it (a quarter of the system
    // calls of 64 KiB, which took about a tenth more time for a 1 GiB file in the page
    // cache), small enough to stay in the core's own cache while it is counted (512 KiB
    // and 1 MiB were no faster), and that one read from a slow disk or a network share
    // does not hold the host past its yield interval.
    static constexpr qsizetype kBufferSize = qsizetype{256} * 1024;

private:
    enum class Mapped { NotMapped, Fed, Shrank, Cancelled };
    // With `head`, a stretch from the file's start also has its first bytes looked at.
    Mapped feedMapped(ContentSource& source, qint64 from, qint64 to, RuleCounter& counter,
                      FileWarnings* head = nullptr);
    // Reads on from `position` by offset, or where read() stands when it is -1. With
    // `head`, the first bytes read are looked at.
    FileResult readToEnd(ContentSource& source, qint64 position, RuleCounter& counter,
                         FileWarnings* head);

    WordRule rule_;
    ReadMethod method_;
    MayGoOn mayGoOn_;
    std::unique_ptr<char[]> storage_;
    char* buffer_ = nullptr;
};

}  // namespace quorvane

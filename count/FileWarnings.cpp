#include "count/FileWarnings.h"

namespace quorvane {

namespace {

// Whether every byte of `head` at a position p with p % stride in `zeroAt` (a bit set of
// the positions within a stride) is zero, and at least one byte elsewhere is not: text of
// code units `stride` wide whose high bytes are zero. Needs at least one whole unit.
bool unitsWithZeroBytes(QByteArrayView head, qsizetype stride, unsigned zeroAt) {
    if (head.size() < stride) {
        return false;
    }
    bool anyOther = false;
    for (qsizetype i = 0; i < head.size(); ++i) {
        const bool zero = head[i] == '\0';
        if ((zeroAt >> (i % stride)) & 1U) {
            if (!zero) {
                return false;
            }
        } else {
            anyOther = anyOther || !zero;
        }
    }
    return anyOther;
}

FileWarnings byByteOrderMark(QByteArrayView head) {
    if (head.startsWith(QByteArrayView("\xFF\xFE\0\0", 4)) ||
        head.startsWith(QByteArrayView("\0\0\xFE\xFF", 4))) {
        return FileWarning::Utf32Text;
    }
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
        return FileWarning::Utf16Text;
    }
    return {};
}

}  // namespace

FileWarnings warningsFor(QByteArrayView head) {
    head = head.first(qMin(head.size(), kWarningHeadSize));
    if (head.indexOf('\0') < 0) {
        // A byte-order mark alone leaves no zero byte in a UTF-16 file of other scripts.
        return byByteOrderMark(head);
    }
    if (const FileWarnings marked = byByteOrderMark(head)) {
        return marked;
    }
    // Little-endian UTF-32 has zeros at positions 2 and 3 of every 4 (1, 2 and 3 for
    // Latin-1), big-endian at 0 and 1; checked first, as it would also pass for UTF-16.
    if (unitsWithZeroBytes(head, 4, 0b1100) || unitsWithZeroBytes(head, 4, 0b0011)) {
        return FileWarning::Utf32Text;
    }
    if (unitsWithZeroBytes(head, 2, 0b10) || unitsWithZeroBytes(head, 2, 0b01)) {
        return FileWarning::Utf16Text;
    }
    return FileWarning::Binary;
}

FileWarnings warningsFor(ContentNotes notes) {
    FileWarnings warnings;
    if (notes.testFlag(ContentNote::NoTextLayer)) {
        warnings |= FileWarning::NoTextLayer;
    }
    return warnings;
}

QStringList warningTexts(FileWarnings warnings) {
    QStringList texts;
    if (warnings.testFlag(FileWarning::Utf16Text)) {
        texts += QStringLiteral("looks like UTF-16 text; --rule unicode reads it");
    }
    if (warnings.testFlag(FileWarning::Utf32Text)) {
        texts += QStringLiteral("looks like UTF-32 text; --rule unicode reads it");
    }
    if (warnings.testFlag(FileWarning::Binary)) {
        texts += QStringLiteral("looks like a binary file");
    }
    if (warnings.testFlag(FileWarning::NoTextLayer)) {
        texts += QStringLiteral("no text layer (a scanned image?)");
    }
    return texts;
}

}  // namespace quorvane

#pragma once

#include <QByteArrayView>
#include <QFlags>
#include <QStringList>

#include "platform/ContentSource.h"

namespace quorvane {

// Why a counted file's count may not be what its owner expects: the file is counted all
// the same, and the host says so beside it.
enum class FileWarning : unsigned {
    Utf16Text = 1,    // text in UTF-16, which the classic rule reads a byte at a time
    Utf32Text = 2,    // text in UTF-32, likewise
    Binary = 4,       // not text at all
    NoTextLayer = 8,  // a document with pages but no text on them (counts 0)
};
Q_DECLARE_FLAGS(FileWarnings, FileWarning)
Q_DECLARE_OPERATORS_FOR_FLAGS(FileWarnings)

// How much of a file's start warningsFor() looks at.
inline constexpr qsizetype kWarningHeadSize = 4096;

// What a file's first bytes say of it, to a rule that reads bytes as they are: UTF-16 or
// UTF-32 by its byte-order mark, or by zero bytes at every other (every second and third
// of four) position; binary by any other zero byte. Looks at no more than
// kWarningHeadSize bytes of `head`.
FileWarnings warningsFor(QByteArrayView head);

// What a source's notes on a file mean for its count.
FileWarnings warningsFor(ContentNotes notes);

// Each warning in words, in a fixed order, for a person reading the program's output.
QStringList warningTexts(FileWarnings warnings);

}  // namespace quorvane

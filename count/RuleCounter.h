#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <cstddef>
#include <vector>

#include "count/UnicodeWordCounter.h"
#include "count/WordCounter.h"
#include "count/WordRule.h"

namespace quorvane {

// The counter of one word rule: what the count feeds a whole file, or one part of a file
// counted in parts, without knowing which rule it is.
class RuleCounter {
public:
    explicit RuleCounter(WordRule rule) noexcept : rule_(rule) {}

    // A counter for a part that begins where partStartIn put it, past the file's start.
    // `fileHead` is the file's first bytes (up to kHeadSize), from which a rule that
    // decodes takes the encoding the whole file is read in.
    static RuleCounter forLaterPart(WordRule rule, QByteArrayView fileHead) noexcept;
    static constexpr qsizetype kHeadSize = 4;

    void feed(const char* data, std::size_t size) noexcept {
        if (rule_ == WordRule::Classic) {
            classic_.feed(data, size);
        } else {
            unicode_.feed(data, size);
        }
    }
    // The count of a whole file, once its last byte is in.
    qint64 count() noexcept {
        return rule_ == WordRule::Classic ? classic_.count() : unicode_.count();
    }

    // What a part came to, once its last byte is in; the parts of a file, in order, add up
    // by combineParts.
    struct Part {
        WordCounter::Part classic;
        UnicodeWordCounter::Part unicode;
    };
    Part part() noexcept;
    static qint64 combineParts(WordRule rule, const std::vector<Part>& parts) noexcept;

    // Whether a file under this rule may be counted in parts.
    static bool splits(WordRule rule) noexcept {
        return rule == WordRule::Classic || rule == WordRule::Unicode;
    }
    // Where in `bytes` (which lie at `offset` in the file) a part may begin so that it
    // counts as it would in sequence: right after a space (under a rule that decodes, a
    // space or a line feed of the encoding `fileHead` names, a whole code unit from the
    // file's start). -1 where there is none.
    static qint64 partStartIn(WordRule rule, const char* bytes, std::size_t size, qint64 offset,
                              QByteArrayView fileHead) noexcept;

private:
    WordRule rule_;
    WordCounter classic_;
    UnicodeWordCounter unicode_;
};

}  // namespace quorvane

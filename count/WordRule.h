#pragma once

namespace quorvane {

// How words are told apart.
enum class WordRule {
    // Only ASCII letters, digits, spaces and full stops are kept, everything else dropped
    // without a gap; words lie between spaces.
    Classic = 0,
    // Text decoded from its encoding; a word is a run of non-space characters holding a
    // letter, digit or mark; each East Asian ideograph or kana is a word of its own.
    Unicode = 1,
};

}  // namespace quorvane

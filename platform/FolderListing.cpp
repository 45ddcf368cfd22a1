#include "platform/FolderListing.h"

#include "platform/FolderListingOs.h"
#include "platform/Paths.h"

#include <algorithm>
#include <string>
#include <vector>

namespace quorvane {

namespace {

// Names and patterns are matched as sequences of case-folded code points, so that "?" takes
// one character even outside the Basic Multilingual Plane and "É" matches "é".
void foldInto(QStringView text, std::u32string& out) {
    out.clear();
    out.reserve(static_cast<size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        out.push_back(QChar::toCaseFolded(c));
    }
}

// "*" takes any run of characters, "?" exactly one. Backtracking only to the last star
// keeps this linear in practice and never worse than name length times pattern length.
bool wildcardMatch(const std::u32string& pattern, const std::u32string& name) {
    constexpr size_t none = std::u32string::npos;
    size_t p = 0;
    size_t n = 0;
    size_t star = none;
    size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            star = p++;
            resume = n;
        } else if (star != none) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') {
        ++p;
    }
    return p == pattern.size();
}

// A ";"-separated pattern list compiled once per listing. An element ending in ".*" also
// matches names without that extension, as "*.*" has always matched every name, dot or not.
class Pattern final : public FolderListingOs::NameFilter {
public:
    explicit Pattern(const QString& text) {
        std::u32string folded;
        for (const QString& part : text.split(QLatin1Char(';'))) {
            const QString element = part.trimmed();
            if (element.isEmpty()) {
                continue;
            }
            foldInto(element, folded);
            alternatives_.push_back(folded);
            if (element.endsWith(QLatin1String(".*"))) {
                alternatives_.push_back(folded.substr(0, folded.size() - 2));
            }
        }
    }

    bool isEmpty() const { return alternatives_.empty(); }

    bool matches(QStringView name) const {
        foldInto(name, scratch_);
        return std::any_of(alternatives_.begin(), alternatives_.end(),
                           [this](const std::u32string& p) { return wildcardMatch(p, scratch_); });
    }

    bool accepts(QStringView name) const override { return matches(name); }

private:
    std::vector<std::u32string> alternatives_;
    mutable std::u32string scratch_;
};

}  // namespace

void FolderListing::sort(QStringList& names) {
    NameList compact(names);
    compact.sort();
    names = compact.toStringList();
}

FolderList FolderListing::list(const QString& folder, const QString& pattern) {
    // The folder is read even for an empty pattern, so that a folder that cannot be read is
    // reported as such and not as an empty one.
    FolderList result = FolderListingOs::readFiles(folder, Pattern(pattern));
    result.names.sort();
    return result;
}

FolderList FolderListing::listRecursive(const QString& folder, const QString& pattern) {
    const Pattern filter(pattern);
    FolderList result = FolderListingOs::readFiles(folder, filter);
    if (!result.ok) {
        return result;
    }
    // Depth first, without recursion: a deep tree costs no stack.
    QStringList pending = FolderListingOs::readOwnSubfolders(folder);
    while (!pending.isEmpty()) {
        const QString relative = pending.takeLast();
        const QString path = Paths::join(folder, relative);
        const FolderList inside = FolderListingOs::readFiles(path, filter);
        if (!inside.ok) {
            result.unreadable.append({relative, inside.error});
            continue;
        }
        const QString prefix = relative + u'/';
        result.names.append(inside.names, prefix);
        for (const QString& subfolder : FolderListingOs::readOwnSubfolders(path)) {
            pending.append(prefix + subfolder);
        }
    }
    result.names.sort();
    std::sort(result.unreadable.begin(), result.unreadable.end(),
              [](const FolderProblem& a, const FolderProblem& b) {
                  return FolderListing::lessThan(a.path, b.path);
              });
    return result;
}

bool FolderListing::matches(const QString& name, const QString& pattern) {
    return Pattern(pattern).matches(name);
}

QStringList FolderListing::subfolders(const QString& folder) {
    QStringList names = FolderListingOs::readSubfolders(folder);
    sort(names);
    return names;
}

bool FolderListing::isFolder(const QString& path) {
    return FolderListingOs::isFolder(path);
}

bool FolderListing::lessThan(const QString& a, const QString& b) {
    const int order = QString::compare(a, b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

}  // namespace quorvane

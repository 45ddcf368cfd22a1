// One libFuzzer target per document kind, all fed the way a count reads a file: the input
// is a file (a memfd, which is a regular file) opened through DocumentContentSource by a
// name, then read to its end. Which kind a target aims at is only its seeds and its
// dictionary; QUORVANE_FUZZ_FILE_NAME gives the name where the kind is told by name.

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "documents/DocumentContentSource.h"

namespace {

struct Input {
    int fd = -1;
    QString path;
    std::string folder;  // holds the named link, removed at exit
    std::string link;
};

Input* input = nullptr;

void removeLink() {
    if (!input->link.empty()) {
        ::unlink(input->link.c_str());
        ::rmdir(input->folder.c_str());
    }
}

Input* makeInput() {
    auto* in = new Input;
    in->fd = ::memfd_create("quorvane-fuzz", MFD_CLOEXEC);
    if (in->fd < 0) {
        std::perror("memfd_create");
        std::abort();
    }
    const std::string fdPath = "/proc/self/fd/" + std::to_string(in->fd);
    in->path = QString::fromStdString(fdPath);
#ifdef QUORVANE_FUZZ_FILE_NAME
    // A link whose name carries the extension; it reaches the memfd of whichever process
    // opens it, which is this one.
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quorvane-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    in->folder = pattern;
    in->link = pattern + "/" + QUORVANE_FUZZ_FILE_NAME;
    if (::symlink(fdPath.c_str(), in->link.c_str()) != 0) {
        std::perror("symlink");
        std::abort();
    }
    in->path = QString::fromStdString(in->link);
#endif
    return in;
}

void writeInput(const std::uint8_t* data, std::size_t size) {
    if (::ftruncate(input->fd, 0) != 0) {
        std::perror("ftruncate");
        std::abort();
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(input->fd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0) {
            std::perror("pwrite");
            std::abort();
        }
        done += static_cast<std::size_t>(n);
    }
}

// The length of the UTF-8 sequence at p (up to end), 0 where it is not well formed.
std::size_t utf8Length(const unsigned char* p, const unsigned char* end) {
    const unsigned char c = p[0];
    std::size_t n = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || static_cast<std::size_t>(end - p) < n) {
        return 0;
    }
    for (std::size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
    }
    if ((c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] >= 0xA0) || (c == 0xF0 && p[1] < 0x90) ||
        (c == 0xF4 && p[1] >= 0x90)) {
        return 0;
    }
    return n;
}

[[noreturn]] void fail(const char* what, std::uint64_t at) {
    std::fprintf(stderr, "document text %s (byte %llu)\n", what, static_cast<unsigned long long>(at));
    std::abort();
}

// A document's text goes to counters that decode it: well-formed UTF-8, led by a
// byte-order mark. Checked as it comes, a read at a time, so that a document with a great
// deal of text costs the check no memory.
class TextCheck {
public:
    void feed(const char* data, std::size_t size) {
        pending_.append(data, static_cast<qsizetype>(size));
        if (seen_ == 0 && pending_.size() >= 3 && !pending_.startsWith("\xEF\xBB\xBF")) {
            fail("has no leading byte-order mark", 0);
        }
        const auto* p = reinterpret_cast<const unsigned char*>(pending_.constData());
        const auto* end = p + pending_.size();
        while (end - p >= 4 || (p < end && utf8Length(p, end) != 0)) {
            const std::size_t n = utf8Length(p, end);
            if (n == 0) {
                fail("is not UTF-8", seen_);
            }
            p += n;
            seen_ += n;
        }
        pending_.remove(0, reinterpret_cast<const char*>(p) - pending_.constData());
    }
    void finish() {
        if (!pending_.isEmpty()) {
            fail(seen_ == 0 && pending_.size() < 3 ? "is too short for its byte-order mark" : "ends inside a character", seen_);
        }
    }

private:
    QByteArray pending_;  // at most the start of one character
    std::uint64_t seen_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!input) {
        input = makeInput();
        std::atexit(removeLink);
    }
    writeInput(data, size);

    quorvane::DocumentContentSource source;
    if (!source.open(input->path)) {
        return 0;  // a reason is a fine answer for a damaged file
    }
    const bool asDocument = !source.canReadAt();
    TextCheck check;
    static char buffer[64 * 1024];
    qint64 got = 0;
    while ((got = source.read(buffer, sizeof buffer)) > 0) {
        if (asDocument) {
            check.feed(buffer, static_cast<std::size_t>(got));
        }
    }
    // A read that failed part way may stop anywhere; one that ended must end whole.
    if (asDocument && got == 0) {
        check.finish();
    }
    return 0;
}

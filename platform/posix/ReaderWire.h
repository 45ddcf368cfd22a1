#pragma once

#include <QString>

#include <sys/socket.h>

#include "platform/ReaderProcess.h"

namespace quorvane {

// What the count and its reader workers say to each other on their socket (sequenced
// packets, one message each): the count sends a file's name with the open file itself
// attached; the worker answers with a kind byte and its payload.
namespace ReaderWire {

inline constexpr const char* kProgramName = "quorvane-reader";
// The worker finds its end of the channel here.
inline constexpr int kChannel = 3;
// The largest payload of one message.
inline constexpr qsizetype kMaxMessage = qsizetype{64} * 1024;

inline constexpr char kText = 'T';         // a piece of the text
inline constexpr char kEnd = 'E';          // the text is complete; a ContentNotes byte may follow
inline constexpr char kAsBytes = 'B';      // no document: count the bytes
inline constexpr char kFailed = 'F';       // the reason follows, UTF-8
inline constexpr char kOutOfMemory = 'M';  // the memory limit was reached

// One message with room for one open file beside its bytes; it points into itself, so it
// stays where it was made.
struct FileMessage {
    FileMessage(void* bytes, std::size_t size) : part{bytes, size} {
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
    }
    FileMessage(const FileMessage&) = delete;
    FileMessage& operator=(const FileMessage&) = delete;

    struct iovec part;
    alignas(struct cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    struct msghdr header = {};
};

inline QString tookTooLong(const ReaderLimits& limits) {
    return QStringLiteral("the document took longer than %1 s to read")
        .arg((limits.timeoutMs + 999) / 1000);
}

inline QString needsTooMuch(const ReaderLimits& limits) {
    return QStringLiteral("the document needs more than %1 MiB to read")
        .arg(limits.memoryBytes / (1024 * 1024));
}

}  // namespace ReaderWire

}  // namespace quorvane

#pragma once

#include <QtGlobal>

namespace quorvane {

// Which file an open file or a path is, whatever name reached it: a link, "..", another
// spelling of the folder. Two invalid identities are never the same file.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    bool valid = false;

    bool sameFileAs(const FileIdentity& other) const {
        return valid && other.valid && device == other.device && inode == other.inode;
    }
};

}  // namespace quorvane

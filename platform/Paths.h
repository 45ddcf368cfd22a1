#pragma once

#include <QString>

namespace quorvane {

// Path text as this system spells it.
class Paths {
public:
    // A path as the lists keep it: absolute, this system's separators, no "." or ".."
    // parts, no separator at the end but at a root; empty for an empty path. Worked out
    // as text, so names holding undecodable bytes (see FileName) keep them; ".." here
    // is the parent of what the text names, as the folder list shows it.
    static QString normalise(const QString& path);
    // A name in a folder, with one separator between them, none doubled at a root. No
    // folder gives the bare name, never a path at the file-system root.
    static QString join(const QString& folder, const QString& name);
    // The folder the window opens in when none was stored: the system drive's root.
    static QString defaultDrive();
    // The program's current folder, every byte of its name kept (see FileName).
    static QString currentFolder();
    // The folder a path names, resolved through the file system ("link/.." is the folder
    // that holds what the link leads to, as ls shows); empty with the reason when the
    // path names no folder.
    static QString resolveFolder(const QString& path, QString& error);
};

}  // namespace quorvane

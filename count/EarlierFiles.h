#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringView>

#include <vector>

#include "count/ReportFormat.h"

namespace quorvane {

// The files an earlier report counted, held compactly: a report of a hundred thousand
// files must not cost a string object and a heap block per path before the count begins.
// Every path is kept as the UTF-8 form of its UTF-16 units (a lone surrogate as its own
// three bytes), all in one block; reading one back gives exactly the QString that went in.
// A name is kept only where it is not the path's last part.
class EarlierFiles {
public:
    qsizetype size() const { return static_cast<qsizetype>(files_.size()); }
    bool isEmpty() const { return files_.empty(); }
    // Room for `files` files whose paths take `pathBytes` at most. Memory that is reserved
    // and never written costs no page, so a generous bound is cheaper than growing, which
    // copies; squeeze() gives back what was not used.
    void reserve(qsizetype files, qsizetype pathBytes = 0);
    void squeeze() { bytes_.squeeze(); }

    void append(const GoneFile& file);
    // A path as a JSON string holds it without escapes: read as QString::fromUtf8 reads it.
    void appendUtf8(QByteArrayView path, qint64 previous);

    qint64 previous(qsizetype index) const { return files_[static_cast<size_t>(index)].previous; }
    QString path(qsizetype index) const;
    // Puts the path in `path`, whose room is reused: no allocation once it is large enough.
    void pathInto(qsizetype index, QString& path) const;
    // Whether path `index` is the one whose form formOf() left in `form`.
    bool pathIs(qsizetype index, QByteArrayView form) const { return formAt(index) == form; }
    // The whole file, its name worked out from its path when the report gave none.
    GoneFile at(qsizetype index) const;
    GoneFile operator[](qsizetype index) const { return at(index); }

    // Leaves the form the paths are kept in in `form`, reusing its room.
    static void formOf(QStringView path, QByteArray& form);

private:
    struct File {
        qsizetype start;  // where the path begins in bytes_; it ends where the next begins
        qint64 previous;
    };

    QByteArrayView formAt(qsizetype index) const;

    QByteArray bytes_;
    std::vector<File> files_;
    QHash<qsizetype, QString> names_;  // the names that are not their path's last part
};

}  // namespace quorvane

#include "count/EarlierFiles.h"

#include "platform/Utf8.h"

namespace quorvane {

namespace {

QString lastPart(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

}  // namespace

void EarlierFiles::reserve(qsizetype files, qsizetype pathBytes) {
    files_.reserve(static_cast<size_t>(files));
    bytes_.reserve(pathBytes);
}

void EarlierFiles::append(const GoneFile& file) {
    if (!file.name.isEmpty() && file.name != lastPart(file.path)) {
        names_.insert(size(), file.name);
    }
    files_.push_back({bytes_.size(), file.previous});
    utf8::appendUnits(bytes_, file.path);
}

void EarlierFiles::appendUtf8(QByteArrayView path, qint64 previous) {
    files_.push_back({bytes_.size(), previous});
    // Valid UTF-8 holds no surrogates, so it is already the form kept; anything else, and
    // a path that opens with a byte order mark, which fromUtf8 drops, is read as
    // QString::fromUtf8 reads it.
    if (path.isValidUtf8() && !path.startsWith("\xef\xbb\xbf")) {
        bytes_.append(path);
    } else {
        utf8::appendUnits(bytes_, QString::fromUtf8(path));
    }
}

QByteArrayView EarlierFiles::formAt(qsizetype index) const {
    const auto at = static_cast<size_t>(index);
    const qsizetype end = at + 1 < files_.size() ? files_[at + 1].start : bytes_.size();
    return QByteArrayView(bytes_).sliced(files_[at].start, end - files_[at].start);
}

// The inverse of appendUnits(); the block holds nothing else, so no byte needs checking.
void EarlierFiles::pathInto(qsizetype index, QString& path) const {
    const QByteArrayView form = formAt(index);
    path.resize(form.size());
    path.resize(utf8::decodeUnits(form.data(), static_cast<size_t>(form.size()),
                                  reinterpret_cast<char16_t*>(path.data())));
}

QString EarlierFiles::path(qsizetype index) const {
    QString path;
    pathInto(index, path);
    return path;
}

GoneFile EarlierFiles::at(qsizetype index) const {
    GoneFile file{names_.value(index), path(index), previous(index)};
    if (file.name.isEmpty()) {
        file.name = lastPart(file.path);
    }
    return file;
}

void EarlierFiles::formOf(QStringView path, QByteArray& form) {
    form.resize(0);
    utf8::appendUnits(form, path);
}

}  // namespace quorvane

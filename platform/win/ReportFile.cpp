#include "platform/ReportFile.h"

#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace quorvane {

struct ReportFile::State {
    std::unique_ptr<QSaveFile> file;
    bool toStandardOutput = false;
    QByteArray pending;
};

ReportFile::ReportFile(const QString& path, Target target)
    : state_(std::make_unique<State>()), path_(path), target_(target) {}

ReportFile::~ReportFile() {
    discard();
}

FileIdentity ReportFile::replacedIdentity() const {
    return {};
}

bool ReportFile::fail(const QString& reason) {
    setErrorString(reason);
    return false;
}

bool ReportFile::create() {
    State& s = *state_;
    if (target_ == Target::StandardOutput) {
        s.toStandardOutput = true;
        return QIODevice::open(QIODevice::WriteOnly);
    }
    const QFileInfo info(path_);
    if (info.isSymLink() && target_ == Target::ProgramReport) {
        return fail(QStringLiteral("%1 is a symbolic link").arg(info.fileName()));
    }
    s.file = std::make_unique<QSaveFile>(path_);
    // Never fall back to writing the report in place: that is what leaves half a report.
    s.file->setDirectWriteFallback(false);
    if (!s.file->open(QIODevice::WriteOnly)) {
        const QString reason = s.file->errorString();
        s.file.reset();
        return fail(reason);
    }
    return QIODevice::open(QIODevice::WriteOnly);
}

qint64 ReportFile::readData(char*, qint64) {
    return -1;
}

qint64 ReportFile::writeData(const char* data, qint64 size) {
    State& s = *state_;
    if (s.toStandardOutput) {
        s.pending.append(data, static_cast<qsizetype>(size));
        return size;
    }
    if (!s.file || s.file->write(data, size) != size) {
        setErrorString(s.file ? s.file->errorString() : QString());
        return -1;
    }
    return size;
}

bool ReportFile::commit() {
    State& s = *state_;
    if (s.toStandardOutput) {
        // The report's CR LF must not become CR CR LF.
        _setmode(_fileno(stdout), _O_BINARY);
        const size_t size = static_cast<size_t>(s.pending.size());
        if (std::fwrite(s.pending.constData(), 1, size, stdout) != size ||
            std::fflush(stdout) != 0) {
            return fail(QStringLiteral("cannot write to standard output"));
        }
        QIODevice::close();
        return true;
    }
    if (!s.file) {
        return false;
    }
    // QSaveFile's commit() writes its last buffered bytes without telling of a failure.
    if (!s.file->flush() || !s.file->commit()) {
        const QString reason = s.file->errorString();
        discard();
        return fail(reason);
    }
    s.file.reset();
    QIODevice::close();
    return true;
}

void ReportFile::discard() {
    State& s = *state_;
    if (s.file) {
        s.file->cancelWriting();
        s.file->commit();  // after cancelWriting this only removes the temporary file
        s.file.reset();
    }
    s.pending.clear();
    if (isOpen()) {
        QIODevice::close();
    }
}

}  // namespace quorvane

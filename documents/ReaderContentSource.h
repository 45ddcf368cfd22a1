#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

#include "documents/FileHead.h"
#include "platform/ContentSource.h"
#include "platform/FileContentSource.h"
#include "platform/ReaderProcess.h"

namespace quorvane {

// Reads a file as the text a reader of it sees where it is a document, told by its first
// bytes; any other file as its bytes, here and at full speed. A document's text comes from
// a reader worker process (ReaderPool), never from a parser in this process, so a hostile
// document can cost that file and nothing else. Files are opened as FileContentSource
// opens them: never waiting, regular files only.
class ReaderContentSource : public ContentSource {
public:
    explicit ReaderContentSource(std::shared_ptr<ReaderPool> pool);
    ~ReaderContentSource() override;

    bool open(const QString& path) override;
    // While the worker has sent nothing new this gives kNotYet after a few milliseconds,
    // so the count keeps its pace of turns (and can be cancelled) whatever the reader does.
    qint64 read(char* buffer, qint64 size) override;
    void close() override;
    QString errorString() const override { return error_; }
    FileIdentity identity() const override { return file_.identity(); }
    // What the worker said of the document with its end.
    ContentNotes notes() const override;
    // A file read as its bytes can be read in parts, as a plain file source can.
    bool canReadAt() const override;
    qint64 size() const override;
    qint64 readAt(qint64 offset, char* buffer, qint64 size, QString& error) override;
    std::unique_ptr<MappedBytes> mapAt(qint64 offset, qint64 size) override;

    // How long one read() waits for the worker before giving the caller its turn.
    static constexpr int kWaitMs = 4;

private:
    qint64 readBytes(char* buffer, qint64 size);
    qint64 readText(char* buffer, qint64 size);

    std::shared_ptr<ReaderPool> pool_;
    FileContentSource file_;
    FileHead head_;
    bool asBytes_ = true;
    std::unique_ptr<ReaderPool::Reading> reading_;
    QByteArray text_;  // the worker's last piece, given out from textPos_
    qsizetype textPos_ = 0;
    bool done_ = false;
    QString error_;
};

}  // namespace quorvane

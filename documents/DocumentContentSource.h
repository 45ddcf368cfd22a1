#pragma once

#include <QString>

#include <memory>

#include "platform/ContentSource.h"

namespace quorvane {

// Reads a file as the text a reader of it sees where it is a document (Word, OpenDocument,
// PowerPoint and Excel files, PDF, RTF, HTML, EPUB), told by its content; any other file
// as its bytes, unchanged. A document's text comes as UTF-8 led by a byte-order mark, a
// few milliseconds of work per read. A document that cannot be read (damaged, encrypted,
// of an unsupported variant) fails open() or read() with the reason; one that needs more
// memory than the process may have throws std::bad_alloc, for the caller to tell apart.
// Files are opened as FileContentSource opens them: never waiting, regular files only.
class DocumentContentSource : public ContentSource {
public:
    DocumentContentSource();
    ~DocumentContentSource() override;

    bool open(const QString& path) override;
    // The same for a file already opened elsewhere and handed over (the reader worker's
    // way: it never opens a name); `name` tells HTML by its extension. Takes the handle.
    bool openHandle(qintptr handle, const QString& name);
    // Whether the open file is read as a document's text; otherwise as its bytes.
    bool isDocument() const;
    qint64 read(char* buffer, qint64 size) override;
    void close() override;
    QString errorString() const override { return error_; }
    FileIdentity identity() const override;
    // What the document's reader found out about it, once it has been read to its end.
    ContentNotes notes() const override;
    // A file read as its bytes can be read in parts, as a plain file source can.
    bool canReadAt() const override;
    qint64 size() const override;
    qint64 readAt(qint64 offset, char* buffer, qint64 size, QString& error) override;
    std::unique_ptr<MappedBytes> mapAt(qint64 offset, qint64 size) override;

    // Whether this build reads documents at all (it needs its libraries); without them
    // every file is read as its bytes.
    static bool readsDocuments();

    struct State;

private:
    bool begin(const QString& name);

    std::unique_ptr<State> state_;
    QString error_;
};

}  // namespace quorvane

#include "documents/DocumentContentSource.h"

#include <QByteArray>

#include <exception>
#include <new>

#include "platform/FileContentSource.h"

#if QUORVANE_DOCUMENT_TEXT
#include "documents/ByteInput.h"
#include "documents/DocumentErrors.h"
#include "documents/DocumentFile.h"
#include "documents/DocumentReader.h"
#include "documents/DocumentSniffer.h"
#include "documents/FileHead.h"
#include "documents/HtmlTextReader.h"
#include "documents/MarkdownTextReader.h"
#include "documents/PdfTextReader.h"
#include "documents/RtfTextReader.h"
#include "documents/TextSink.h"
#include "documents/WordBinaryReader.h"
#include "documents/ZipDocumentReader.h"
#endif

namespace quorvane {

#if QUORVANE_DOCUMENT_TEXT

namespace {

// A reader that finds no text for this many steps in a row gives the caller something
// that changes no count, so a read never holds the window for long.
constexpr int kQuietStepsPerRead = 8;

// The reason for the exception being handled, other than running out of memory: the
// libraries beneath the readers throw on bytes they cannot make sense of.
QString reasonOfException() {
    try {
        throw;
    } catch (const std::exception& e) {
        return DocumentErrors::damaged(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return DocumentErrors::damaged();
    }
}

}  // namespace

struct DocumentContentSource::State {
    FileContentSource file;
    FileHead head;
    // Where the bytes after the head are read from. Readers that hand the descriptor to a
    // library share its position with it, so the bytes are read at offsets of their own.
    qint64 filePos = 0;
    bool asBytes = true;
    DocumentFile document;
    std::unique_ptr<DocumentReader> reader;
    TextSink sink;
    bool done = false;
    bool failed = false;

    // The file front to back, the bytes read to tell its kind first.
    class Sequential : public ByteInput {
    public:
        explicit Sequential(State& state) : state_(state) {}
        qint64 read(char* buffer, qint64 size) override { return state_.readBytes(buffer, size); }
        QString errorString() const override { return state_.readError; }

    private:
        State& state_;
    };

    qint64 readBytes(char* buffer, qint64 size) {
        if (const qint64 fromHead = head.take(buffer, size); fromHead > 0) {
            return fromHead;
        }
        QString error;
        const qint64 n = file.readAt(filePos, buffer, size, error);
        if (n < 0) {
            readError = error;
        } else {
            filePos += n;
        }
        return n;
    }
    QString readError;

    // Makes the reader for a document of `kind` and starts it; the reason for a failure
    // goes in `error`.
    DocumentReader::Start startReader(DocumentSniffer::Kind kind, const QString& name,
                                      QString& error) {
        if (kind == DocumentSniffer::Kind::Rtf) {
            reader = std::make_unique<RtfTextReader>(std::make_unique<Sequential>(*this));
        } else if (kind == DocumentSniffer::Kind::Html) {
            reader = std::make_unique<HtmlTextReader>(std::make_unique<Sequential>(*this), name);
        } else if (kind == DocumentSniffer::Kind::Markdown) {
            reader = std::make_unique<MarkdownTextReader>(std::make_unique<Sequential>(*this));
        } else if (!document.open(file)) {
            error = document.errorString();
            return DocumentReader::Start::Failed;
        } else if (kind == DocumentSniffer::Kind::Zip) {
            reader = std::make_unique<ZipDocumentReader>(
                document, DocumentSniffer::zipClaimsDocument(head.bytes(), name));
        } else if (kind == DocumentSniffer::Kind::Pdf) {
            reader = std::make_unique<PdfTextReader>(document);
        } else {
            reader = std::make_unique<WordBinaryReader>(document);
        }
        const DocumentReader::Start start = reader->start();
        if (start == DocumentReader::Start::Failed) {
            error = reader->errorString();
        }
        return start;
    }
};

DocumentContentSource::DocumentContentSource() : state_(std::make_unique<State>()) {}

DocumentContentSource::~DocumentContentSource() {
    close();
}

bool DocumentContentSource::readsDocuments() {
    return true;
}

FileIdentity DocumentContentSource::identity() const {
    return state_->file.identity();
}

ContentNotes DocumentContentSource::notes() const {
    const State& s = *state_;
    return !s.asBytes && s.done && s.sink.available() == 0 ? s.reader->notes() : ContentNotes();
}

bool DocumentContentSource::canReadAt() const {
    return state_->asBytes && state_->file.canReadAt();
}

qint64 DocumentContentSource::size() const {
    return state_->asBytes ? state_->file.size() : -1;
}

qint64 DocumentContentSource::readAt(qint64 offset, char* buffer, qint64 size, QString& error) {
    if (!state_->asBytes) {
        error = QStringLiteral("a document is read front to back");
        return -1;
    }
    return state_->file.readAt(offset, buffer, size, error);
}

std::unique_ptr<MappedBytes> DocumentContentSource::mapAt(qint64 offset, qint64 size) {
    return state_->asBytes ? state_->file.mapAt(offset, size) : nullptr;
}

bool DocumentContentSource::open(const QString& path) {
    close();
    error_.clear();
    if (!state_->file.open(path)) {
        error_ = state_->file.errorString();
        return false;
    }
    return begin(path.mid(path.lastIndexOf(u'/') + 1));
}

bool DocumentContentSource::openHandle(qintptr handle, const QString& name) {
    close();
    error_.clear();
    if (!state_->file.adopt(handle)) {
        error_ = state_->file.errorString();
        return false;
    }
    return begin(name);
}

bool DocumentContentSource::isDocument() const {
    return !state_->asBytes;
}

bool DocumentContentSource::begin(const QString& name) {
    State& s = *state_;
    if (!s.head.read(s.file, error_)) {
        s.file.close();
        return false;
    }
    s.filePos = s.head.size();
    s.asBytes = true;
    const DocumentSniffer::Kind kind = DocumentSniffer::kindOf(s.head.bytes(), name);
    if (kind == DocumentSniffer::Kind::Bytes) {
        return true;
    }
    DocumentReader::Start start = DocumentReader::Start::Failed;
    try {
        start = s.startReader(kind, name, error_);
    } catch (const std::bad_alloc&) {
        throw;  // the caller tells a document that needs too much memory from a damaged one
    } catch (...) {
        error_ = reasonOfException();
    }
    switch (start) {
        case DocumentReader::Start::Document:
            s.asBytes = false;
            return true;
        case DocumentReader::Start::NotADocument:
            s.reader.reset();
            s.document.close();
            return true;
        case DocumentReader::Start::Failed:
            break;
    }
    close();
    return false;
}

qint64 DocumentContentSource::read(char* buffer, qint64 size) {
    State& s = *state_;
    if (s.asBytes) {
        const qint64 n = s.readBytes(buffer, size);
        if (n < 0) {
            error_ = s.readError;
        }
        return n;
    }
    if (s.failed) {
        return -1;
    }
    int quietSteps = 0;
    while (s.sink.available() == 0) {
        if (s.done) {
            return 0;
        }
        DocumentReader::Step step = DocumentReader::Step::Failed;
        try {
            step = s.reader->step(s.sink);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (...) {
            error_ = reasonOfException();
            s.failed = true;
            return -1;
        }
        if (step == DocumentReader::Step::Failed) {
            error_ = s.reader->errorString();
            s.failed = true;
            return -1;
        }
        s.done = step == DocumentReader::Step::Done;
        if (!s.done && s.sink.available() == 0 && ++quietSteps >= kQuietStepsPerRead) {
            s.sink.filler();
        }
    }
    return s.sink.take(buffer, size);
}

void DocumentContentSource::close() {
    State& s = *state_;
    s.reader.reset();
    s.document.close();
    s.file.close();
    s.sink.clear();
    s.head.clear();
    s.asBytes = true;
    s.done = false;
    s.failed = false;
}

#else  // Built without the document libraries: every file is read as its bytes.

struct DocumentContentSource::State {
    FileContentSource file;
};

DocumentContentSource::DocumentContentSource() : state_(std::make_unique<State>()) {}

DocumentContentSource::~DocumentContentSource() = default;

bool DocumentContentSource::readsDocuments() {
    return false;
}

FileIdentity DocumentContentSource::identity() const {
    return state_->file.identity();
}

ContentNotes DocumentContentSource::notes() const {
    return {};
}

bool DocumentContentSource::canReadAt() const {
    return state_->file.canReadAt();
}

qint64 DocumentContentSource::size() const {
    return state_->file.size();
}

qint64 DocumentContentSource::readAt(qint64 offset, char* buffer, qint64 size, QString& error) {
    return state_->file.readAt(offset, buffer, size, error);
}

std::unique_ptr<MappedBytes> DocumentContentSource::mapAt(qint64 offset, qint64 size) {
    return state_->file.mapAt(offset, size);
}

bool DocumentContentSource::open(const QString& path) {
    const bool ok = state_->file.open(path);
    error_ = ok ? QString() : state_->file.errorString();
    return ok;
}

bool DocumentContentSource::openHandle(qintptr handle, const QString&) {
    const bool ok = state_->file.adopt(handle);
    error_ = ok ? QString() : state_->file.errorString();
    return ok;
}

bool DocumentContentSource::isDocument() const {
    return false;
}

qint64 DocumentContentSource::read(char* buffer, qint64 size) {
    const qint64 n = state_->file.read(buffer, size);
    if (n < 0) {
        error_ = state_->file.errorString();
    }
    return n;
}

void DocumentContentSource::close() {
    state_->file.close();
}

#endif

}  // namespace quorvane

#pragma once

#include <QString>

#include "platform/ContentSource.h"

namespace quorvane {

class TextSink;

// Turns one kind of document into the text it shows, a little at a time: the count job
// hands control back between reads, so each step does a bounded piece of work.
class DocumentReader {
public:
    // What start() found the file to be.
    enum class Start {
        Document,      // a document of this reader's kind: step() reads its text
        NotADocument,  // a file of the same make that holds no document: its bytes count
        Failed,        // a document that cannot be read, the reason in errorString()
    };
    enum class Step { More, Done, Failed };

    virtual ~DocumentReader() = default;
    // Reads what the document needs up front (its index, its parts).
    virtual Start start() = 0;
    // Adds the text of the next piece to `sink`, which may get none from a piece.
    virtual Step step(TextSink& sink) = 0;
    QString errorString() const { return error_; }
    // What the reader found out about the document, once step() has said Done.
    virtual ContentNotes notes() const { return {}; }

protected:
    Start failStart(const QString& reason) {
        error_ = reason;
        return Start::Failed;
    }
    Step fail(const QString& reason) {
        error_ = reason;
        return Step::Failed;
    }
    // For the checks start() makes on the way: keeps the reason and answers false.
    bool failCheck(const QString& reason) {
        error_ = reason;
        return false;
    }

    QString error_;
};

}  // namespace quorvane

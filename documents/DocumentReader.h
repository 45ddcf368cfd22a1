#pragma once

#include <QString>

namespace quorvane {

class TextSink;

// Turns one kind of document into the text it shows, a little at a time: the count job
// hands control back between reads, so each step does a bounded piece of work.
class DocumentReader {
public:
    enum class Step { More, Done, Failed };

    virtual ~DocumentReader() = default;
    // Reads what the document needs up front (its index, its parts); false if it cannot
    // be read, with the reason in errorString().
    virtual bool start() = 0;
    // Adds the text of the next piece to `sink`, which may get none from a piece.
    virtual Step step(TextSink& sink) = 0;
    QString errorString() const { return error_; }

protected:
    bool failStart(const QString& reason) {
        error_ = reason;
        return false;
    }
    Step fail(const QString& reason) {
        error_ = reason;
        return Step::Failed;
    }

    QString error_;
};

}  // namespace quorvane

#pragma once

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <memory>

#include "DocumentReader.h"

namespace quorvane {

class ByteInput;
class XmlPartRules;

// Streams one XML part of a document (an archive entry) through its rules: each step
// feeds the parser one small piece of the part and handles what that piece completes.
class XmlPartReader {
public:
    XmlPartReader(QString name, std::unique_ptr<ByteInput> input, XmlPartRules& rules);
    ~XmlPartReader();

    DocumentReader::Step step(TextSink& sink);
    QString errorString() const { return error_; }

    // How much of the part one step feeds the parser.
    static constexpr qint64 kPieceSize = 16 * 1024;

private:
    DocumentReader::Step damaged(const QString& what);

    QString name_;
    std::unique_ptr<ByteInput> input_;
    XmlPartRules& rules_;
    QXmlStreamReader xml_;
    QByteArray piece_;
    bool inputEnded_ = false;
    bool sawRoot_ = false;
    bool documentEnded_ = false;  // the XML is complete; the part may not be read out
    int depth_ = 0;
    int skipUntilDepth_ = -1;  // inside a left-out element: its depth
    QString error_;
};

}  // namespace quorvane

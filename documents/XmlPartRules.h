#pragma once

#include <QString>
#include <QXmlStreamReader>

namespace quorvane {

class TextSink;

// What one kind of XML part shows: told each element and text as the part streams by.
class XmlPartRules {
public:
    enum class Visit { Enter, Skip };

    virtual ~XmlPartRules() = default;
    // Skip leaves out the element and everything in it.
    virtual Visit start(const QXmlStreamReader& xml, TextSink& sink) = 0;
    virtual void end(const QXmlStreamReader& xml, TextSink& sink) = 0;
    virtual void characters(const QXmlStreamReader& xml, TextSink& sink) = 0;
    // Text held back to be given out over several steps (repeated spreadsheet cells):
    // gives out a bounded piece and says whether more is held.
    virtual bool drain(TextSink&) { return false; }
    // Set when the part asks for more than any real document does (text repeated past
    // all bounds): the document is not counted, for that reason, which is said in full.
    const QString& errorString() const { return error_; }

protected:
    QString error_;
};

}  // namespace quorvane

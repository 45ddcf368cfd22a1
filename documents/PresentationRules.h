#pragma once

#include <vector>

#include "documents/XmlPartRules.h"

namespace quorvane {

// The text of a PowerPoint 2007+ slide: its shapes' and tables' text, without the
// footer, date and slide number placeholders, and without the fallback copy of content
// stored twice.
class PresentationRules : public XmlPartRules {
public:
    Visit start(const QXmlStreamReader& xml, TextSink& sink) override;
    void end(const QXmlStreamReader& xml, TextSink& sink) override;
    void characters(const QXmlStreamReader& xml, TextSink& sink) override;

private:
    enum Code : char { Other, Shape, FooterShape, Text, Alternate, AlternateTaken };
    std::vector<char> open_;
    int footerShapes_ = 0;  // open shapes that are footer placeholders
};

}  // namespace quorvane

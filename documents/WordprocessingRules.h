#pragma once

#include <vector>

#include "documents/XmlPartRules.h"

namespace quorvane {

// The text of a Word 2007+ story (the body, the footnotes, the endnotes): the runs' text
// with tables and text boxes, without deleted or moved-away revisions, field codes,
// hidden runs, or the fallback copy of a drawing that Word stores beside the real one.
class WordprocessingRules : public XmlPartRules {
public:
    Visit start(const QXmlStreamReader& xml, TextSink& sink) override;
    void end(const QXmlStreamReader& xml, TextSink& sink) override;
    void characters(const QXmlStreamReader& xml, TextSink& sink) override;

private:
    // One code per open element, for what the rules need of the elements around.
    enum Code : char { Other, Block, Run, HiddenRun, RunProperties, Text, Alternate, AlternateTaken };
    std::vector<char> open_;
};

}  // namespace quorvane

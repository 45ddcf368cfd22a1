#include "documents/WordprocessingRules.h"

#include "documents/OfficeNames.h"
#include "documents/TextSink.h"

namespace quorvane {

namespace {

enum class Kind { Other, Text, Run, RunProperties, Hidden, LeftOut, Boundary, Hyphen };

// What an element of the main namespace is to the rules; told by length first, as this
// runs for every element of the body.
Kind kindOf(QStringView n) {
    switch (n.size()) {
        case 1:
            return n[0] == u't' ? Kind::Text : n[0] == u'r' ? Kind::Run
                                          : n[0] == u'p' ? Kind::Boundary : Kind::Other;
        case 2:
            return n == u"tc" || n == u"tr" || n == u"br" || n == u"cr" ? Kind::Boundary
                                                                        : Kind::Other;
        case 3:
            if (n == u"rPr") return Kind::RunProperties;
            if (n == u"del") return Kind::LeftOut;
            return n == u"tab" ? Kind::Boundary : Kind::Other;
        case 4:
            if (n == u"ptab" || n == u"body") return Kind::Boundary;
            return Kind::Other;
        case 6:
            return n == u"vanish" ? Kind::Hidden : Kind::Other;
        case 7:
            if (n == u"delText") return Kind::LeftOut;
            return n == u"endnote" ? Kind::Boundary : Kind::Other;
        case 8:
            if (n == u"moveFrom") return Kind::LeftOut;
            return n == u"footnote" ? Kind::Boundary : Kind::Other;
        case 9:
            return n == u"instrText" ? Kind::LeftOut : Kind::Other;
        case 11:
            return n == u"txbxContent" ? Kind::Boundary : Kind::Other;
        case 12:
            return n == u"delInstrText" ? Kind::LeftOut : Kind::Other;
        case 13:
            return n == u"noBreakHyphen" ? Kind::Hyphen : Kind::Other;
        default:
            return Kind::Other;
    }
}

}  // namespace

XmlPartRules::Visit WordprocessingRules::start(const QXmlStreamReader& xml, TextSink& sink) {
    const QStringView ns = xml.namespaceUri();
    const QStringView name = xml.name();
    if (OfficeNames::isMarkupCompatibility(ns)) {
        // Word stores a drawing twice: the first choice is read, the rest and the
        // fallback would repeat its text.
        if (name == u"AlternateContent") {
            open_.push_back(Alternate);
            return Visit::Enter;
        }
        if ((name == u"Choice" || name == u"Fallback") && !open_.empty() &&
            (open_.back() == Alternate || open_.back() == AlternateTaken)) {
            if (open_.back() == AlternateTaken || name == u"Fallback") {
                return Visit::Skip;
            }
            open_.back() = AlternateTaken;
        }
        open_.push_back(Other);
        return Visit::Enter;
    }
    if (!OfficeNames::isWordprocessing(ns)) {
        open_.push_back(Other);
        return Visit::Enter;
    }
    const Code parent = open_.empty() ? Other : static_cast<Code>(open_.back());
    Code code = Other;
    switch (kindOf(name)) {
        case Kind::Text:
            code = parent == Run ? Text : Other;
            break;
        case Kind::Run:
            code = Run;
            break;
        case Kind::RunProperties:
            code = parent == Run || parent == HiddenRun ? RunProperties : Other;
            break;
        case Kind::Hidden:
            if (parent == RunProperties && open_.size() >= 2 && open_[open_.size() - 2] == Run &&
                !OfficeNames::isOff(OfficeNames::attribute(xml, u"val"))) {
                open_[open_.size() - 2] = HiddenRun;
            }
            break;
        case Kind::LeftOut:
            return Visit::Skip;
        case Kind::Boundary:
            sink.gap();
            code = Block;
            break;
        case Kind::Hyphen:
            if (parent == Run) {
                sink.codePoint(U'-');
            }
            break;
        case Kind::Other:
            break;
    }
    open_.push_back(code);
    return Visit::Enter;
}

void WordprocessingRules::end(const QXmlStreamReader&, TextSink& sink) {
    if (!open_.empty()) {
        if (open_.back() == Block) {
            sink.gap();
        }
        open_.pop_back();
    }
}

void WordprocessingRules::characters(const QXmlStreamReader& xml, TextSink& sink) {
    if (!open_.empty() && open_.back() == Text) {
        sink.text(xml.text());
    }
}

}  // namespace quorvane

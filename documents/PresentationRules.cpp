#include "documents/PresentationRules.h"

#include "documents/OfficeNames.h"
#include "documents/TextSink.h"

namespace quorvane {

XmlPartRules::Visit PresentationRules::start(const QXmlStreamReader& xml, TextSink& sink) {
    const QStringView ns = xml.namespaceUri();
    const QStringView name = xml.name();
    Code code = Other;
    if (OfficeNames::isMarkupCompatibility(ns)) {
        if (name == u"AlternateContent") {
            code = Alternate;
        } else if ((name == u"Choice" || name == u"Fallback") && !open_.empty() &&
                   (open_.back() == Alternate || open_.back() == AlternateTaken)) {
            if (open_.back() == AlternateTaken || name == u"Fallback") {
                return Visit::Skip;
            }
            open_.back() = AlternateTaken;
        }
    } else if (OfficeNames::isPresentation(ns)) {
        if (name == u"sp") {
            code = Shape;
            sink.gap();
        } else if (name == u"ph") {
            const QString type = OfficeNames::attribute(xml, u"type");
            if (type == u"ftr" || type == u"dt" || type == u"sldNum" || type == u"hdr") {
                for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
                    if (*it == Shape) {
                        *it = FooterShape;
                        ++footerShapes_;
                        break;
                    }
                }
            }
        } else if (name == u"txBody" || name == u"graphicFrame") {
            sink.gap();
        }
    } else if (OfficeNames::isDrawing(ns)) {
        if (name == u"t") {
            code = Text;
        } else if (name == u"p" || name == u"br" || name == u"tc" || name == u"tr" ||
                   name == u"txBody") {
            sink.gap();
        }
    }
    open_.push_back(code);
    return Visit::Enter;
}

void PresentationRules::end(const QXmlStreamReader& xml, TextSink& sink) {
    if (!open_.empty()) {
        if (open_.back() == FooterShape) {
            --footerShapes_;
        }
        open_.pop_back();
    }
    const QStringView name = xml.name();
    if ((name == u"p" || name == u"tc") && OfficeNames::isDrawing(xml.namespaceUri())) {
        sink.gap();
    } else if (name == u"sp" && OfficeNames::isPresentation(xml.namespaceUri())) {
        sink.gap();
    }
}

void PresentationRules::characters(const QXmlStreamReader& xml, TextSink& sink) {
    if (!open_.empty() && open_.back() == Text && footerShapes_ == 0) {
        sink.text(xml.text());
    }
}

}  // namespace quorvane

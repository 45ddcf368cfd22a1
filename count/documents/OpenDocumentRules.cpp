#include "OpenDocumentRules.h"

#include "OfficeNames.h"
#include "TextSink.h"

namespace quorvane {

namespace {

const QStringView kOffice = u"urn:oasis:names:tc:opendocument:xmlns:office:1.0";
const QStringView kText = u"urn:oasis:names:tc:opendocument:xmlns:text:1.0";
const QStringView kTable = u"urn:oasis:names:tc:opendocument:xmlns:table:1.0";
const QStringView kDraw = u"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0";
const QStringView kPresentation = u"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0";
const QStringView kSvg = u"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0";

// How much repeated text one step gives out.
constexpr qsizetype kDrainBytes = 64 * 1024;

bool isBlock(QStringView ns, QStringView name) {
    if (ns == kText) {
        return name == u"p" || name == u"h" || name == u"list-item" || name == u"list-header" ||
               name == u"line-break" || name == u"tab" || name == u"s" || name == u"note-body";
    }
    if (ns == kTable) {
        return name == u"table-cell" || name == u"covered-table-cell" || name == u"table-row" ||
               name == u"table";
    }
    if (ns == kDraw) {
        return name == u"frame" || name == u"text-box" || name == u"page" || name == u"g" ||
               name == u"custom-shape" || name == u"rect" || name == u"ellipse";
    }
    return false;
}

bool isLeftOut(const QXmlStreamReader& xml, QStringView ns, QStringView name) {
    if (ns == kOffice) {
        return name == u"annotation" || name == u"forms" || name == u"meta" ||
               name == u"settings" || name == u"scripts" || name == u"font-face-decls" ||
               name == u"styles" || name == u"automatic-styles" || name == u"master-styles" ||
               name == u"event-listeners";
    }
    if (ns == kText) {
        if (name == u"section") {
            return OfficeNames::attribute(xml, u"display") == u"none";
        }
        return name == u"tracked-changes" || name == u"note-citation" ||
               name == u"hidden-text" || name == u"hidden-paragraph" ||
               name.endsWith(u"-decls") || name.endsWith(u"-source");
    }
    if (ns == kPresentation) {
        return name == u"notes" || name == u"footer-decl" || name == u"header-decl" ||
               name == u"date-time-decl";
    }
    if (ns == kSvg) {
        return name == u"title" || name == u"desc";
    }
    if (ns == kTable) {
        return name == u"named-expressions" || name == u"database-ranges" ||
               name == u"content-validations" || name == u"calculation-settings" ||
               name == u"label-ranges";
    }
    return false;
}

qint64 repeatOf(const QXmlStreamReader& xml, QStringView attribute, qint64 limit) {
    const QString value = OfficeNames::attribute(xml, attribute);
    if (value.isEmpty()) {
        return 1;
    }
    bool ok = false;
    const qint64 n = value.toLongLong(&ok);
    return ok && n > 1 ? qMin(n, limit) : 1;
}

}  // namespace

void OpenDocumentRules::emitText(QStringView text, TextSink& sink) {
    if (captured_.empty()) {
        sink.text(text);
    } else {
        captured_.back().text += text;
    }
}

void OpenDocumentRules::emitGap(TextSink& sink) {
    if (captured_.empty()) {
        sink.gap();
    } else {
        captured_.back().text += u' ';
    }
}

XmlPartRules::Visit OpenDocumentRules::start(const QXmlStreamReader& xml, TextSink& sink) {
    const QStringView ns = xml.namespaceUri();
    const QStringView name = xml.name();
    if (isLeftOut(xml, ns, name)) {
        return Visit::Skip;
    }
    if (isBlock(ns, name)) {
        emitGap(sink);
    }
    qint64 repeat = 1;
    if (ns == kTable && (name == u"table-cell" || name == u"covered-table-cell")) {
        repeat = repeatOf(xml, u"number-columns-repeated", kMaxColumns);
    } else if (ns == kTable && name == u"table-row") {
        repeat = repeatOf(xml, u"number-rows-repeated", kMaxRows);
    }
    captures_.push_back(repeat > 1);
    if (repeat > 1) {
        captured_.push_back({QString(), repeat});
    }
    return Visit::Enter;
}

void OpenDocumentRules::end(const QXmlStreamReader& xml, TextSink& sink) {
    const bool captured = !captures_.empty() && captures_.back();
    if (!captures_.empty()) {
        captures_.pop_back();
    }
    if (captured) {
        Capture capture = std::move(captured_.back());
        captured_.pop_back();
        if (!capture.text.trimmed().isEmpty()) {
            if (captured_.empty()) {
                // Given out over the next steps, a bounded piece at a time.
                pendingText_ = std::move(capture.text);
                pendingRepeats_ = capture.repeat;
            } else {
                QString& outer = captured_.back().text;
                for (qint64 i = 0; i < capture.repeat; ++i) {
                    outer += u' ';
                    outer += capture.text;
                }
                outer += u' ';
            }
        }
    }
    if (isBlock(xml.namespaceUri(), xml.name())) {
        emitGap(sink);
    }
}

void OpenDocumentRules::characters(const QXmlStreamReader& xml, TextSink& sink) {
    emitText(xml.text(), sink);
}

bool OpenDocumentRules::drain(TextSink& sink) {
    const qsizetype startSize = sink.available();
    while (pendingRepeats_ > 0 && sink.available() - startSize < kDrainBytes) {
        sink.gap();
        sink.text(pendingText_);
        sink.gap();
        --pendingRepeats_;
    }
    if (pendingRepeats_ == 0) {
        pendingText_.clear();
    }
    return pendingRepeats_ > 0;
}

}  // namespace quorvane

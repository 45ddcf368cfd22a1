#include "documents/OpenDocumentRules.h"

#include "documents/OfficeNames.h"
#include "documents/TextSink.h"

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

// Adds to a count of characters without passing far beyond the limits it is held to.
qint64 grown(qint64 shown, qint64 more, qint64 repeat) {
    const qint64 ceiling = OpenDocumentRules::kMostRepeatedText + 1;
    return qMin(ceiling, shown + qMin(ceiling, more) * qMin(ceiling, repeat));
}

void OpenDocumentRules::emitText(QStringView text, TextSink& sink) {
    if (captured_.empty()) {
        sink.text(text);
        return;
    }
    kept_ += text.size();
    if (kept_ > kMostKeptText) {
        error_ = QStringLiteral("too much text: a repeated cell or row holds more than %1 MiB")
                     .arg(kMostKeptText >> 20);
        return;
    }
    Group& group = captured_.back().group;
    // Kept in pieces, so that drain() gives out a bounded amount at a time.
    if (group.items.empty() || group.items.back().group ||
        group.items.back().text.size() >= kDrainBytes / 4) {
        group.items.push_back({});
    }
    group.items.back().text += text;
    group.shown = grown(group.shown, text.size(), 1);
    group.visible = group.visible || !text.trimmed().isEmpty();
}

void OpenDocumentRules::emitGap(TextSink& sink) {
    if (captured_.empty()) {
        sink.gap();
    } else {
        emitText(u" ", sink);
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
        captured_.push_back({Group(), repeat});
    }
    return Visit::Enter;
}

// A repeated element ends: its content goes to the one around it, or, where none
// repeats, out over the next steps.
void OpenDocumentRules::endCapture() {
    Capture capture = std::move(captured_.back());
    captured_.pop_back();
    if (captured_.empty()) {
        kept_ = 0;
    }
    if (!capture.group.visible) {
        return;
    }
    // Each repeat stands apart from what is around it.
    const qint64 shown = grown(0, capture.group.shown + 2, capture.repeat);
    auto group = std::make_shared<const Group>(std::move(capture.group));
    if (captured_.empty()) {
        shownByRepeats_ = grown(shownByRepeats_, shown, 1);
        if (shownByRepeats_ > kMostRepeatedText) {
            error_ = QStringLiteral("too much text: repeated cells would show more than %1 MiB")
                         .arg(kMostRepeatedText >> 20);
            return;
        }
        pending_ = group;
        frames_.push_back({pending_.get(), 0, capture.repeat});
        return;
    }
    Group& outer = captured_.back().group;
    outer.items.push_back({QString(), std::move(group), capture.repeat});
    outer.shown = grown(outer.shown, shown, 1);
    outer.visible = true;
}

void OpenDocumentRules::end(const QXmlStreamReader& xml, TextSink& sink) {
    const bool captured = !captures_.empty() && captures_.back();
    if (!captures_.empty()) {
        captures_.pop_back();
    }
    if (captured && !captured_.empty()) {
        endCapture();
    }
    if (isBlock(xml.namespaceUri(), xml.name())) {
        emitGap(sink);
    }
}

void OpenDocumentRules::characters(const QXmlStreamReader& xml, TextSink& sink) {
    emitText(xml.text(), sink);
}

bool OpenDocumentRules::drain(TextSink& sink) {
    qsizetype budget = kDrainBytes;
    while (!frames_.empty() && budget > 0) {
        Frame& frame = frames_.back();
        if (frame.next == 0) {
            sink.gap();
        }
        if (frame.next < frame.group->items.size()) {
            const Item& item = frame.group->items[frame.next++];
            if (item.group) {
                frames_.push_back({item.group.get(), 0, item.repeat});
            } else {
                sink.text(item.text);
                budget -= item.text.size();
            }
        } else {
            sink.gap();
            if (--frame.repeatsLeft > 0) {
                frame.next = 0;
            } else {
                frames_.pop_back();
            }
        }
        --budget;
    }
    if (frames_.empty()) {
        pending_.reset();
    }
    return !frames_.empty();
}

}  // namespace quorvane

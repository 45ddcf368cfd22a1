#include "documents/SpreadsheetRules.h"

#include "documents/OfficeNames.h"
#include "documents/TextSink.h"

namespace quorvane {

namespace {

// How much of one shared string a step gives out: a string used by many cells goes out
// once per cell, each time a bounded piece at a time.
constexpr qsizetype kDrainBytes = 64 * 1024;
// A number, an index or a yes/no value is never longer.
constexpr qsizetype kMostValue = 64;

}  // namespace

QByteArrayView SpreadsheetRules::Strings::at(qsizetype index) const {
    if (index < 0 || index >= static_cast<qsizetype>(starts.size())) {
        return {};
    }
    const qsizetype from = starts[static_cast<std::size_t>(index)];
    const qsizetype to = index + 1 < static_cast<qsizetype>(starts.size())
                             ? starts[static_cast<std::size_t>(index) + 1]
                             : text.size();
    return QByteArrayView(text).sliced(from, to - from);
}

XmlPartRules::Visit SpreadsheetRules::start(const QXmlStreamReader& xml, TextSink& sink) {
    const QStringView ns = xml.namespaceUri();
    const QStringView name = xml.name();
    Code code = Other;
    if (OfficeNames::isSpreadsheet(ns)) {
        if (name == u"rPh" || name == u"phoneticPr" || name == u"f" || name == u"headerFooter" ||
            name == u"extLst") {
            return Visit::Skip;
        }
        const Code parent = open_.empty() ? Other : static_cast<Code>(open_.back());
        if (name == u"si" && part_ == Part::SharedStrings) {
            if (strings_.countedInPlace) {
                sink.gap();
            } else {
                strings_.starts.push_back(static_cast<quint32>(strings_.text.size()));
            }
        } else if (name == u"t") {
            code = Text;
        } else if (name == u"c" && part_ == Part::Sheet) {
            code = Cell;
            cellType_ = OfficeNames::attribute(xml, u"t");
            keepsValue_ = cellType_ == u"s" || cellType_ == u"b";
            value_.clear();
            sink.gap();
        } else if (name == u"v" && parent == Cell) {
            code = Value;
        }
    }
    open_.push_back(code);
    return Visit::Enter;
}

void SpreadsheetRules::end(const QXmlStreamReader& xml, TextSink& sink) {
    const Code code = open_.empty() ? Other : static_cast<Code>(open_.back());
    if (!open_.empty()) {
        open_.pop_back();
    }
    if (code == Cell) {
        if (cellType_ == u"s") {
            bool ok = false;
            const qsizetype index = value_.trimmed().toLongLong(&ok);
            if (ok && !strings_.countedInPlace) {
                const QByteArrayView text = strings_.at(index);
                strings_.shown += text.size();
                if (strings_.shown > kMostSharedText) {
                    error_ = QStringLiteral("too much text: cells would show their shared "
                                            "strings more than %1 MiB")
                                 .arg(kMostSharedText >> 20);
                } else if (!text.isEmpty()) {
                    pending_ = text;  // given out by drain(), the gap after it too
                    return;
                }
            }
        } else if (cellType_ == u"b") {
            sink.text(value_.trimmed() == u"1" ? u"TRUE" : u"FALSE");
        }
        sink.gap();
    } else if (part_ == Part::SharedStrings && xml.name() == u"si" && strings_.countedInPlace) {
        sink.gap();
    }
}

void SpreadsheetRules::characters(const QXmlStreamReader& xml, TextSink& sink) {
    const Code code = open_.empty() ? Other : static_cast<Code>(open_.back());
    if (code == Value) {
        if (!keepsValue_) {
            if (cellType_ != u"inlineStr") {
                sink.text(xml.text());
            }
        } else if (value_.size() < kMostValue) {
            value_ += xml.text().left(kMostValue);
        }
    } else if (code == Text) {
        if (part_ == Part::SharedStrings && !strings_.countedInPlace) {
            strings_.text += xml.text().toUtf8();
        } else {
            sink.text(xml.text());
        }
    }
}

bool SpreadsheetRules::drain(TextSink& sink) {
    if (pending_.isNull()) {
        return false;
    }
    const qsizetype most = qMin(pending_.size(), kDrainBytes);
    qsizetype n = most;
    // Cut where a character starts.
    while (n < pending_.size() && n > 0 && (static_cast<unsigned char>(pending_[n]) & 0xC0) == 0x80) {
        --n;
    }
    if (n == 0) {
        n = most;
    }
    sink.utf8(pending_.data(), n);
    pending_ = pending_.sliced(n);
    if (!pending_.isEmpty()) {
        return true;
    }
    pending_ = QByteArrayView();
    sink.gap();
    return false;
}

}  // namespace quorvane

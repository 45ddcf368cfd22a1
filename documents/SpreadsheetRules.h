#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

#include "documents/XmlPartRules.h"

namespace quorvane {

// The text of an Excel 2007+ workbook's cells: the shared strings table is read first,
// then each sheet shows every cell's text where the cell is (a string used by three
// cells counts three times), numbers and error values as written, TRUE and FALSE for
// yes/no cells; formulas, phonetic guides, and page headers and footers are left out.
class SpreadsheetRules : public XmlPartRules {
public:
    // The shared strings, kept as UTF-8 one after another.
    struct Strings {
        QByteArray text;
        std::vector<quint32> starts;
        // A table too large to keep: each string was counted once, where it is stored.
        bool countedInPlace = false;
        qint64 shown = 0;  // how much the cells have shown of them
        QByteArrayView at(qsizetype index) const;
    };

    enum class Part { SharedStrings, Sheet };

    SpreadsheetRules(Part part, Strings& strings) : part_(part), strings_(strings) {}

    Visit start(const QXmlStreamReader& xml, TextSink& sink) override;
    void end(const QXmlStreamReader& xml, TextSink& sink) override;
    void characters(const QXmlStreamReader& xml, TextSink& sink) override;
    bool drain(TextSink& sink) override;

    // A shared strings part larger than this (unpacked) is counted in place, which keeps
    // memory flat for any workbook.
    static constexpr qint64 kKeptStringsLimit = qint64{16} << 20;
    // The most the cells of a workbook may show of its shared strings, which a few bytes
    // of sheet can ask for without end; more than any real workbook shows.
    static constexpr qint64 kMostSharedText = qint64{256} << 20;

private:
    enum Code : char { Other, Cell, Value, Text };
    Part part_;
    Strings& strings_;
    std::vector<char> open_;
    QString cellType_;
    bool keepsValue_ = false;  // a cell whose value is read whole (an index, yes/no)
    QString value_;
    QByteArrayView pending_;   // what is left of a shared string to give out
};

}  // namespace quorvane

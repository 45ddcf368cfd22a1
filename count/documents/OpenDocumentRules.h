#pragma once

#include <QString>

#include <vector>

#include "XmlPartRules.h"

namespace quorvane {

// The text of an OpenDocument content part (text, presentation, spreadsheet, drawing):
// paragraphs, headings, lists, tables, frames and notes, without comments, tracked
// deletions, speaker notes, slide footers, note numbers, alternative text or index
// templates. A spreadsheet's repeated cells and rows show their text once per repeat.
class OpenDocumentRules : public XmlPartRules {
public:
    Visit start(const QXmlStreamReader& xml, TextSink& sink) override;
    void end(const QXmlStreamReader& xml, TextSink& sink) override;
    void characters(const QXmlStreamReader& xml, TextSink& sink) override;
    bool drain(TextSink& sink) override;

    // Limits on repeats, those of the largest sheet an office program makes.
    static constexpr qint64 kMaxColumns = 16384;
    static constexpr qint64 kMaxRows = 1048576;

private:
    void emitText(QStringView text, TextSink& sink);
    void emitGap(TextSink& sink);

    struct Capture {
        QString text;
        qint64 repeat = 1;
    };
    // true for an open element that captures its text to repeat it.
    std::vector<bool> captures_;
    std::vector<Capture> captured_;
    QString pendingText_;
    qint64 pendingRepeats_ = 0;
};

}  // namespace quorvane

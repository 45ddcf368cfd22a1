#pragma once

#include <QString>

#include <memory>
#include <vector>

#include "documents/XmlPartRules.h"

namespace quorvane {

// The text of an OpenDocument content part (text, presentation, spreadsheet, drawing):
// paragraphs, headings, lists, tables, frames and notes, without comments, tracked
// deletions, speaker notes, slide footers, note numbers, alternative text or index
// templates. A spreadsheet's repeated cells and rows show their text once per repeat:
// a repeated element's content is kept once, however often it repeats, and given out
// repeat by repeat; a sheet whose repeats would show more text than any real one holds
// is not counted.
class OpenDocumentRules : public XmlPartRules {
public:
    Visit start(const QXmlStreamReader& xml, TextSink& sink) override;
    void end(const QXmlStreamReader& xml, TextSink& sink) override;
    void characters(const QXmlStreamReader& xml, TextSink& sink) override;
    bool drain(TextSink& sink) override;

    // Limits on repeats, those of the largest sheet an office program makes.
    static constexpr qint64 kMaxColumns = 16384;
    static constexpr qint64 kMaxRows = 1048576;
    // The most characters a part's repeats may show in all, and keep while being read.
    static constexpr qint64 kMostRepeatedText = qint64{256} << 20;
    static constexpr qint64 kMostKeptText = qint64{4} << 20;

private:
    void emitText(QStringView text, TextSink& sink);
    void emitGap(TextSink& sink);
    void endCapture();

    struct Group;
    // Text, or a group of items repeated.
    struct Item {
        QString text;
        std::shared_ptr<const Group> group;
        qint64 repeat = 0;
    };
    struct Group {
        std::vector<Item> items;
        qint64 shown = 0;      // characters, repeats included, at most a little past the limit
        bool visible = false;  // holds more than white space
    };
    struct Capture {
        Group group;
        qint64 repeat = 1;
    };
    // Where drain() is in the repeats it gives out.
    struct Frame {
        const Group* group;
        std::size_t next = 0;
        qint64 repeatsLeft = 0;
    };
    // true for an open element that captures its text to repeat it.
    std::vector<bool> captures_;
    std::vector<Capture> captured_;
    qint64 kept_ = 0;
    qint64 shownByRepeats_ = 0;
    std::shared_ptr<const Group> pending_;
    std::vector<Frame> frames_;
};

}  // namespace quorvane

#pragma once

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <memory>
#include <optional>

#include "documents/DocumentReader.h"

namespace quorvane {

class ByteInput;
class XmlPartRules;

// Streams one XML part of a document (an archive entry) through its rules: each step
// feeds the parser one small piece of the part and handles what that piece completes,
// and gives out a bounded amount of text. A part that declares a DTD or entities, nests
// without end or holds one piece of markup of megabytes is refused: no office program
// writes one, and each would cost memory out of all proportion to the file.
class XmlPartReader {
public:
    XmlPartReader(QString name, std::unique_ptr<ByteInput> input, XmlPartRules& rules);
    ~XmlPartReader();

    DocumentReader::Step step(TextSink& sink);
    QString errorString() const { return error_; }

    // Checks the raw bytes of a part before the parser sees them, and cuts long stretches
    // of text in pieces: the parser would hold a stretch whole until its end.
    class Guard {
    public:
        // Appends `data` to `out` with the cuts made; false, with the reason, for markup
        // no office part holds.
        bool pass(const char* data, qsizetype size, QByteArray& out, QString& reason);

        static constexpr qsizetype kTextPiece = 16 * 1024;
        static constexpr qsizetype kMostMarkup = qsizetype{1} << 20;

    private:
        enum class State : char { Text, Open, Bang, Doctype, Tag, Quoted, Comment, CData, Pi };
        bool refuse(QString& reason, const QString& why);
        bool take(char c, QByteArray& out, QString& reason);
        void text(char c, bool boundary, QByteArray& out);
        void bang(char c);
        void tag(char c);
        void cdata(char c, bool boundary, QByteArray& out);
        void closeAfter(char c, char mark);
        void toText();

        State state_ = State::Text;
        bool checkedStart_ = false;
        bool passThrough_ = false;
        char quote_ = 0;
        bool inReference_ = false;
        qsizetype run_ = 0;      // bytes since the last cut or markup
        qsizetype markup_ = 0;   // bytes of the markup being read
        QByteArray bang_;        // what follows "<!", up to telling what it opens
        int closing_ = 0;        // how much of "-->", "]]>" or "?>" has been seen
    };

    // How much of the part one step feeds the parser.
    static constexpr qint64 kPieceSize = 16 * 1024;
    // Past this much text in the sink a step hands control back.
    static constexpr qsizetype kStepOutput = 256 * 1024;
    static constexpr int kMostDepth = 4096;

private:
    DocumentReader::Step damaged(const QString& what);
    qint64 readPiece();
    DocumentReader::Step feed();
    DocumentReader::Step refused();
    std::optional<DocumentReader::Step> token(QXmlStreamReader::TokenType type, TextSink& sink);
    std::optional<DocumentReader::Step> startElement(TextSink& sink);
    std::optional<DocumentReader::Step> endElement(TextSink& sink);
    std::optional<DocumentReader::Step> outOfInput();

    QString name_;
    std::unique_ptr<ByteInput> input_;
    XmlPartRules& rules_;
    QXmlStreamReader xml_;
    Guard guard_;
    QByteArray piece_;
    QByteArray guarded_;
    bool inputEnded_ = false;
    bool sawRoot_ = false;
    bool documentEnded_ = false;  // the XML is complete; the part may not be read out
    int depth_ = 0;
    int skipUntilDepth_ = -1;  // inside a left-out element: its depth
    QString error_;
};

}  // namespace quorvane

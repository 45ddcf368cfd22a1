#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <vector>

#include "count/WordCounter.h"
#include "documents/DocumentContentSource.h"
#include "tests/SanitizedBuild.h"
#include "tests/documents/CompoundFileWriter.h"

namespace quorvane {
namespace {

// Documents made to hurt the readers: each must end soon, with a count that is right or
// with the reason it was not counted.

using test::compoundFile;
using test::le16;
using test::le32;

// A Word 97 file whose text lies at offset 1024 of its WordDocument stream, in the pieces
// `cps` (character positions, one more than the pieces) and `offsets` (8-bit text, in
// bytes from the stream's start). `prc` goes before the piece table, as formatting does.
struct WordFile {
    std::vector<quint32> cps;
    std::vector<quint32> offsets;
    QByteArray text;
    QByteArray prc;
    bool loop = false;

    QByteArray bytes() const {
        QByteArray plc;
        for (const quint32 cp : cps) {
            plc += le32(cp);
        }
        for (const quint32 offset : offsets) {
            plc += le16(0) + le32((offset * 2) | 0x40000000u) + le16(0);
        }
        const QByteArray clx = prc + '\x02' + le32(static_cast<quint32>(plc.size())) + plc;
        QByteArray fib(898, '\0');
        const auto put16 = [&](int at, quint32 v) { fib.replace(at, 2, le16(v)); };
        const auto put32 = [&](int at, quint32 v) { fib.replace(at, 4, le32(v)); };
        put16(0, 0xA5EC);
        put16(2, 0xC1);
        put16(0x0A, 0x0200);  // the table stream is 1Table
        put16(32, 14);
        put16(62, 22);
        put32(64 + 3 * 4, cps.back());  // the body's length
        put16(152, 93);
        put32(154 + 33 * 8 + 4, static_cast<quint32>(clx.size()));
        return compoundFile({{QStringLiteral("WordDocument"), fib.leftJustified(1024, '\0') + text},
                             {QStringLiteral("1Table"), clx}},
                            loop);
    }
};

QByteArray plainWord(const QByteArray& text) {
    return WordFile{{0, static_cast<quint32>(text.size())}, {1024}, text, {}}.bytes();
}

// One piece per word, each two characters long and saved in its own place.
QByteArray manyPieces(quint32 pieces) {
    WordFile w;
    for (quint32 k = 0; k <= pieces; ++k) {
        w.cps.push_back(2 * k);
        if (k < pieces) {
            w.offsets.push_back(1024 + 2 * k);
        }
    }
    w.text = QByteArray("w ").repeated(pieces);
    return w.bytes();
}

// One page on which `lines` lines of `perLine` two-letter words are shown, each word kept
// apart by a gap in the text's positioning rather than by a space.
QByteArray pdfPage(int lines, int perLine) {
    const QByteArray line = "[" + QByteArray("(ab) -600 ").repeated(perLine) + "] TJ T* ";
    const QByteArray content = "BT /F1 8 Tf 10 TL 10 14000 Td " + line.repeated(lines) + "ET";
    const QByteArray objects[] = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 14400 14400] "
        "/Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
            "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    };
    QByteArray out = "%PDF-1.4\n";
    QByteArray xref = "xref\n0 6\n0000000000 65535 f \n";
    int number = 1;
    for (const QByteArray& object : objects) {
        xref += QByteArray::number(out.size()).rightJustified(10, '0') + " 00000 n \n";
        out += QByteArray::number(number++) + " 0 obj\n" + object + "\nendobj\n";
    }
    const qsizetype xrefAt = out.size();
    return out + xref + "trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(xrefAt) + "\n%%EOF\n";
}

struct HostileRow {
    const char* name;
    std::function<QByteArray()> make;
    qint64 words;        // when counted
    const char* reason;  // when not: the start of the reason given
};

const HostileRow kRows[] = {
    {"plain.doc", [] { return plainWord("alpha beta gamma "); }, 3, nullptr},
    {"negative-piece.doc",
     [] { return WordFile{{0, 20, 10, 36}, {1024, 1044, 1034}, QByteArray(36, 'x'), {}}.bytes(); },
     -1, "damaged document: a piece of the text has a negative length"},
    // Formatting before the piece table whose length, read as signed, steps backwards.
    {"negative-formatting.doc",
     [] { return WordFile{{0, 6}, {1024}, "a b c ", QByteArray("\x01\xFD\xFF", 3)}.bytes(); },
     -1, "damaged document: the piece table has a negative length"},
    {"huge-piece.doc", [] { return WordFile{{0, 0x7FFFFFF0}, {1024}, "a b c ", {}}.bytes(); }, -1,
     "damaged document: a piece of the text lies past the WordDocument stream"},
    // Many pieces all over the same few bytes: each fits, together they would repeat them.
    {"overlapping-pieces.doc",
     [] {
         WordFile w{{0}, {}, QByteArray("word ").repeated(1000), {}};
         for (quint32 k = 1; k <= 4000; ++k) {
             w.cps.push_back(k * 5000);
             w.offsets.push_back(1024);
         }
         return w.bytes();
     },
     -1, "damaged document: the pieces hold more text than the WordDocument stream"},
    {"looping-chain.doc",
     [] {
         WordFile w{{0, 6}, {1024}, "a b c " + QByteArray(8000, ' '), {}};
         w.loop = true;
         return w.bytes();
     },
     -1, "damaged document: the WordDocument stream's sector chain loops or ends early"},
    {"half-a-million-pieces.doc", [] { return manyPieces(500000); }, 500000, nullptr},
    // Pages are read whole or not at all, within a bound on the memory their layout takes:
    // a dense page is read, one far denser is not.
    {"dense-page.pdf", [] { return pdfPage(100, 120); }, 12000, nullptr},
    {"many-glyphs.pdf", [] { return pdfPage(100, 200); }, -1,
     "damaged document: page 1 holds more than 28000 characters"},
    {"million-glyphs.pdf", [] { return pdfPage(1000, 500); }, -1,
     "damaged document: page 1 holds more than 28000 characters"},
    {"deep.html",
     [] {
         return "<html><body>" + QByteArray("<div>").repeated(100000) + "word" +
                QByteArray("</span>").repeated(100000) + "</body></html>";
     },
     -1, "unsupported document: elements nested more than 512 deep"},
    // As deep as a page may go, and then end tags that match nothing open.
    {"unmatched-end-tags.html",
     [] {
         return "<html><body>" + QByteArray("<div>").repeated(500) + "one two" +
                QByteArray("</span>").repeated(200000) + "</body></html>";
     },
     2, nullptr},
    {"unclosed-groups.rtf", [] { return QByteArray("{\\rtf1\\ansi {\\b bold words{{{"); }, -1,
     "damaged document: the file ends inside 5 open groups"},
    {"binary-past-end.rtf",
     [] { return QByteArray("{\\rtf1\\ansi some words {\\pict\\bin99999 abc}}"); }, -1,
     "damaged document: binary data runs past the end of the file"},
    {"closed.rtf", [] { return QByteArray("{\\rtf1\\ansi some {\\pict\\bin3 }}}} words}"); }, 2,
     nullptr},
};

struct Outcome {
    bool counted = false;
    QString error;
    QByteArray text;
};

Outcome extract(const QString& path) {
    Outcome o;
    DocumentContentSource source;
    if (!source.open(path)) {
        o.error = source.errorString();
        return o;
    }
    QByteArray buffer(64 * 1024, '\0');
    for (;;) {
        const qint64 got = source.read(buffer.data(), buffer.size());
        if (got < 0) {
            o.error = source.errorString();
            return o;
        }
        if (got == 0) {
            break;
        }
        o.text.append(buffer.constData(), got);
    }
    o.counted = true;
    return o;
}

TEST(HostileDocumentsTest, EndSoonWithTheRightCountOrTheReason) {
    if (!DocumentContentSource::readsDocuments()) {
        GTEST_SKIP() << "built without the document libraries";
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const HostileRow& row : kRows) {
        SCOPED_TRACE(row.name);
        const QString path = dir.filePath(QString::fromLatin1(row.name));
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            const QByteArray bytes = row.make();
            ASSERT_EQ(f.write(bytes), bytes.size());
        }
        QElapsedTimer timer;
        timer.start();
        const Outcome o = extract(path);
        // Far above what each takes; work that grows with the square of the input, or
        // never ends, is far above it in turn.
        if (!test::kSanitized) {
            EXPECT_LT(timer.elapsed(), 5000);
        }
        if (row.reason == nullptr) {
            ASSERT_TRUE(o.counted) << qPrintable(o.error);
            WordCounter counter;
            counter.feed(o.text.constData(), static_cast<std::size_t>(o.text.size()));
            EXPECT_EQ(counter.count(), row.words);
        } else {
            EXPECT_FALSE(o.counted);
            EXPECT_TRUE(o.error.startsWith(QString::fromLatin1(row.reason))) << qPrintable(o.error);
        }
    }
}

}  // namespace
}  // namespace quorvane

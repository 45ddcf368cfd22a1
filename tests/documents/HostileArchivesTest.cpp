#include <gtest/gtest.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <array>
#include <functional>
#include <optional>

#include "count/WordCounter.h"
#include "documents/DocumentContentSource.h"
#include "tests/SanitizedBuild.h"
#include "tests/documents/ZipWriter.h"

// Documents made to hurt a reader: each is built here, small on disk, and must either
// count exactly within bounds or be refused with its reason.

namespace quorvane {
namespace {

using test::ZipWriter;

const QByteArray kRelsNs = "http://schemas.openxmlformats.org/package/2006/relationships";
const QByteArray kTypesNs = "http://schemas.openxmlformats.org/package/2006/content-types";
const QByteArray kRelType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
const QByteArray kWordNs = " xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

QByteArray types(const QByteArray& part, const QByteArray& type) {
    return "<Types xmlns=\"" + kTypesNs + "\"><Override PartName=\"/" + part +
           "\" ContentType=\"" + type + "\"/></Types>";
}

QByteArray rels(const QList<std::pair<QByteArray, QByteArray>>& idAndTypeAndTarget,
                const QByteArray& type = {}) {
    QByteArray out = "<Relationships xmlns=\"" + kRelsNs + "\">";
    for (const auto& [id, target] : idAndTypeAndTarget) {
        out += "<Relationship Id=\"" + id + "\" Type=\"" + kRelType + type + "\" Target=\"" +
               target + "\"/>";
    }
    return out + "</Relationships>";
}

// A Word file whose main part is `document`, which may declare a size other than its own.
QByteArray docx(const QByteArray& document, bool withTypes = true,
                std::optional<quint32> declaredSize = std::nullopt) {
    ZipWriter zip(ZipWriter::Packing::Deflated);
    if (withTypes) {
        zip.add("[Content_Types].xml",
                types("word/document.xml",
                      "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"));
    }
    zip.add("_rels/.rels", rels({{"rId1", "word/document.xml"}}, "officeDocument"));
    zip.add("word/document.xml", document, true, declaredSize);
    return zip.bytes();
}

QByteArray wordBody(const QByteArray& text) {
    return "<?xml version=\"1.0\"?><w:document" + kWordNs + "><w:body><w:p><w:r><w:t>" + text +
           "</w:t></w:r></w:p></w:body></w:document>";
}

const QByteArray kSheetNs =
    " xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\""
    " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";

// A workbook of one sheet whose one shared string is `shared`, shown by `cells` cells.
QByteArray xlsxFanOut(const QByteArray& shared, int cells) {
    ZipWriter zip(ZipWriter::Packing::Deflated);
    zip.add("[Content_Types].xml",
            types("xl/workbook.xml",
                  "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"));
    zip.add("_rels/.rels", rels({{"rId1", "xl/workbook.xml"}}, "officeDocument"));
    zip.add("xl/_rels/workbook.xml.rels",
            "<Relationships xmlns=\"" + kRelsNs + "\"><Relationship Id=\"rId1\" Type=\"" +
                kRelType + "worksheet\" Target=\"sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
                kRelType + "sharedStrings\" Target=\"strings.xml\"/></Relationships>");
    zip.add("xl/workbook.xml",
            "<workbook" + kSheetNs + "><sheets><sheet name=\"A\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
    zip.add("xl/strings.xml", "<sst" + kSheetNs + "><si><t>" + shared + "</t></si></sst>");
    zip.add("xl/sheet1.xml", "<worksheet" + kSheetNs + "><sheetData><row>" +
                                 QByteArray("<c t=\"s\"><v>0</v></c>").repeated(cells) +
                                 "</row></sheetData></worksheet>");
    return zip.bytes();
}

// A presentation whose slide list names `ids`, of which only rId1 is a slide.
QByteArray pptx(const QByteArray& ids) {
    const QByteArray ns =
        " xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\""
        " xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\""
        " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
    ZipWriter zip(ZipWriter::Packing::Deflated);
    zip.add("[Content_Types].xml",
            types("ppt/presentation.xml",
                  "application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml"));
    zip.add("_rels/.rels", rels({{"rId1", "ppt/presentation.xml"}}, "officeDocument"));
    zip.add("ppt/_rels/presentation.xml.rels", rels({{"rId1", "slides/slide1.xml"}}, "slide"));
    QByteArray list;
    for (const QByteArray& id : ids.split(' ')) {
        list += "<p:sldId id=\"256\" r:id=\"" + id + "\"/>";
    }
    zip.add("ppt/presentation.xml", "<p:presentation" + ns + "><p:sldIdLst>" + list +
                                        "</p:sldIdLst></p:presentation>");
    zip.add("ppt/slides/slide1.xml", "<p:sld" + ns + "><p:cSld><p:spTree><p:sp><p:txBody><a:p><a:r><a:t>one slide</a:t></a:r></a:p></p:txBody></p:sp></p:spTree></p:cSld></p:sld>");
    return zip.bytes();
}

QByteArray ods(const QByteArray& table) {
    ZipWriter zip(ZipWriter::Packing::Deflated);
    zip.add("mimetype", "application/vnd.oasis.opendocument.spreadsheet", false);
    zip.add("content.xml",
            "<office:document-content"
            " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
            " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
            " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\">"
            "<office:body><office:spreadsheet><table:table>" + table +
            "</table:table></office:spreadsheet></office:body></office:document-content>");
    return zip.bytes();
}

QByteArray repeatedRows(int rows, int columns, const QByteArray& text) {
    return "<table:table-row table:number-rows-repeated=\"" + QByteArray::number(rows) +
           "\"><table:table-cell table:number-columns-repeated=\"" + QByteArray::number(columns) +
           "\"><text:p>" + text + "</text:p></table:table-cell></table:table-row>";
}

// A book whose spine is `spine`, over a manifest of one page of two words.
QByteArray epub(const QByteArray& spine) {
    ZipWriter zip(ZipWriter::Packing::Deflated);
    zip.add("mimetype", "application/epub+zip", false);
    zip.add("META-INF/container.xml",
            "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">"
            "<rootfiles><rootfile full-path=\"c.opf\" media-type=\"application/oebps-package+xml\"/></rootfiles></container>");
    zip.add("c.opf", "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\"><metadata/>"
                     "<manifest><item id=\"p\" href=\"p.xhtml\" media-type=\"application/xhtml+xml\"/></manifest>"
                     "<spine>" + spine + "</spine></package>");
    zip.add("p.xhtml", "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>two words</p></body></html>");
    return zip.bytes();
}

// Words of random letters, so that deflate packs them as little as it packs real text.
QByteArray randomWords(qsizetype characters, qint64& words) {
    QByteArray out;
    out.reserve(characters);
    quint32 state = 12345;
    words = 0;
    while (out.size() < characters) {
        state = state * 1664525u + 1013904223u;
        const int length = 1 + static_cast<int>((state >> 24) % 9);
        for (int i = 0; i < length && out.size() < characters; ++i) {
            state = state * 1664525u + 1013904223u;
            out += static_cast<char>('a' + (state >> 24) % 26);
        }
        ++words;
        if (out.size() < characters) {
            out += ' ';
        }
    }
    return out;
}

struct Row {
    const char* name;  // the file name, whose extension tells the kind
    std::function<QByteArray(qint64& words)> build;  // sets `words` where the count is known
    const char* reason;  // nullptr where the document counts
};

const QByteArray kLaughs =
    "<?xml version=\"1.0\"?><!DOCTYPE w:document [<!ENTITY a \"lol lol lol lol lol lol\">"
    "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
    "<w:document" + kWordNs + "><w:body><w:p><w:r><w:t>&c;&c;&c;</w:t></w:r></w:p></w:body></w:document>";

const Row kRows[] = {
    {"entities.docx", [](qint64&) { return docx(kLaughs); }, "damaged document: declares entities"},
    {"doctype.docx",
     [](qint64&) { return docx("<!DOCTYPE w:document SYSTEM \"file:///etc/passwd\">" + wordBody("x")); },
     "damaged document: declares a DTD"},
    {"huge-run.docx",
     [](qint64& words) { return docx(wordBody(randomWords(20'000'000, words))); }, nullptr},
    {"fan-out.xlsx",
     [](qint64& words) {
         words = 2 * 200'000;
         return xlsxFanOut("alpha beta", 200'000);
     },
     nullptr},
    {"fan-out-past-bounds.xlsx",
     [](qint64&) { return xlsxFanOut(QByteArray("word ").repeated(200'000), 300); },
     "too much text: cells would show their shared strings"},
    {"repeats.ods",
     [](qint64& words) {
         words = 2 * 1000 * 1000;
         return ods(repeatedRows(1000, 1000, "two words"));
     },
     nullptr},
    {"repeats-past-bounds.ods", [](qint64&) { return ods(repeatedRows(1048576, 16384, "x")); },
     "too much text: repeated cells"},
    {"lying-size.docx",
     [](qint64&) { return docx(wordBody(QByteArray("word ").repeated(100'000)), true, 1000); },
     "word/document.xml inflates past its declared size"},
    {"inflation-ratio.docx",
     [](qint64&) {
         return docx("<w:document" + kWordNs + "><w:body>" + QByteArray("<w:p/>").repeated(4'000'000) +
                     "</w:body></w:document>");
     },
     "inflates more than 200 times its packed size"},
    {"spine-of-repeats.epub",
     [](qint64& words) {
         words = 2;  // the page once, where it first comes
         return epub(QByteArray("<itemref idref=\"p\"/>").repeated(200'000));
     },
     nullptr},
    {"spine-points-nowhere.epub",
     [](qint64&) { return epub("<itemref idref=\"p\"/><itemref idref=\"lost\"/>"); },
     "damaged document: the spine names \"lost\""},
    {"no-content-types.docx", [](qint64&) { return docx(wordBody("x"), false); },
     "damaged document: [Content_Types].xml is missing"},
    {"slide-points-nowhere.pptx", [](qint64&) { return pptx("rId1 rId9"); },
     "damaged document: ppt/presentation.xml names sldId \"rId9\""},
    {"slide-twice.pptx",
     [](qint64& words) {
         words = 2;
         return pptx("rId1 rId1");
     },
     nullptr},
};

class HostileArchivesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!DocumentContentSource::readsDocuments()) {
            GTEST_SKIP() << "built without the document libraries";
        }
        ASSERT_TRUE(dir.isValid());
    }
    QTemporaryDir dir;
};

TEST_F(HostileArchivesTest, CountExactlyWithinBoundsOrRefuseWithTheReason) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        qint64 expected = -1;
        const QByteArray bytes = row.build(expected);
        const QString path = dir.filePath(QString::fromUtf8(row.name));
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_EQ(f.write(bytes), bytes.size());
        }
        QElapsedTimer timer;
        timer.start();
        DocumentContentSource source;
        QString error;
        WordCounter counter;
        qint64 largestRead = 0;
        if (source.open(path)) {
            QByteArray buffer(1 << 20, '\0');
            for (;;) {
                const qint64 got = source.read(buffer.data(), buffer.size());
                if (got <= 0) {
                    if (got < 0) {
                        error = source.errorString();
                    }
                    break;
                }
                largestRead = qMax(largestRead, got);
                counter.feed(buffer.constData(), static_cast<std::size_t>(got));
            }
        } else {
            error = source.errorString();
        }
        if (row.reason != nullptr) {
            EXPECT_TRUE(error.contains(QString::fromUtf8(row.reason))) << error.toStdString();
        } else {
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
            EXPECT_EQ(counter.count(), expected);
            // The text comes in bounded pieces, however much one element shows.
            EXPECT_LT(largestRead, 1 << 20);
        }
        if (!test::kSanitized) {
            EXPECT_LT(timer.elapsed(), 5000);
        }
    }
}

}  // namespace
}  // namespace quorvane

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>
#include <utility>

#include "count/CountJob.h"
#include "documents/ContentSources.h"
#include "count/UnicodeWordCounter.h"
#include "count/WordCounter.h"
#include "documents/DocumentContentSource.h"
#include "platform/FileContentSource.h"
#include "tests/documents/ZipWriter.h"

namespace quorvane {
namespace {

const QByteArray kBom("\xEF\xBB\xBF");

// The documents made once by office programs (see the README beside them).
QString fixture(const QString& name) {
    return QFileInfo(QString::fromUtf8(__FILE__)).absolutePath() +
           QStringLiteral("/../data/documents/") + name;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

qint64 classicCount(const QByteArray& text) {
    WordCounter counter;
    counter.feed(text.constData(), static_cast<std::size_t>(text.size()));
    return counter.count();
}

qint64 unicodeCount(const QByteArray& text) {
    UnicodeWordCounter counter;
    counter.feed(text.constData(), static_cast<std::size_t>(text.size()));
    return counter.count();
}

// What a count reads from a file through the document source.
struct Extracted {
    bool opened = false;
    bool readFailed = false;
    QString error;
    QByteArray text;
    int reads = 0;
    ContentNotes notes;  // as the source had them at the end
};

Extracted extract(const QString& path) {
    Extracted e;
    DocumentContentSource source;
    e.opened = source.open(path);
    if (!e.opened) {
        e.error = source.errorString();
        return e;
    }
    QByteArray buffer(64 * 1024, '\0');
    for (;;) {
        const qint64 got = source.read(buffer.data(), buffer.size());
        if (got < 0) {
            e.readFailed = true;
            e.error = source.errorString();
            break;
        }
        if (got == 0) {
            e.notes = source.notes();
            break;
        }
        e.text.append(buffer.constData(), got);
        ++e.reads;
    }
    source.close();
    return e;
}

// The text without its leading byte-order mark, for comparing.
QByteArray shown(const QByteArray& text) {
    return text.startsWith(kBom) ? text.mid(3) : text;
}

using test::ZipWriter;

const char* const kWordNamespaces =
    R"( xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main")"
    R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")"
    R"( xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006")"
    R"( xmlns:wps="http://schemas.microsoft.com/office/word/2010/wordprocessingShape")"
    R"( xmlns:v="urn:schemas-microsoft-com:vml")";

// A Word 2007+ file whose body is `body`; `notes` (a footnotes part) and `header` when given.
QByteArray docx(const QByteArray& body, const QByteArray& notes = {},
                const QByteArray& header = {}) {
    ZipWriter zip;
    zip.add("[Content_Types].xml",
            R"(<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
            R"(<Default Extension="xml" ContentType="application/xml"/>)"
            R"(<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>)");
    zip.add("_rels/.rels",
            R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>)");
    QByteArray rels =
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
    if (!notes.isEmpty()) {
        rels += R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/footnotes" Target="footnotes.xml"/>)";
        zip.add("word/footnotes.xml", QByteArray("<w:footnotes") + kWordNamespaces + ">" + notes +
                                          "</w:footnotes>");
    }
    if (!header.isEmpty()) {
        rels += R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/header" Target="header1.xml"/>)";
        zip.add("word/header1.xml", QByteArray("<w:hdr") + kWordNamespaces + ">" + header + "</w:hdr>");
    }
    zip.add("word/_rels/document.xml.rels", rels + "</Relationships>");
    zip.add("word/document.xml", QByteArray("<?xml version=\"1.0\"?><w:document") +
                                      kWordNamespaces + "><w:body>" + body +
                                      "</w:body></w:document>");
    return zip.bytes();
}

QByteArray para(const QByteArray& text) {
    return "<w:p><w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r></w:p>";
}

const char* const kOdfNamespaces =
    R"( xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
    R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
    R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
    R"( xmlns:dc="http://purl.org/dc/elements/1.1/")";

// An OpenDocument file of the given type whose body is `body`.
QByteArray odf(const QByteArray& type, const QByteArray& body, const QByteArray& manifest = {}) {
    ZipWriter zip;
    zip.add("mimetype", "application/vnd.oasis.opendocument." + type);
    if (!manifest.isEmpty()) {
        zip.add("META-INF/manifest.xml", manifest);
    }
    zip.add("content.xml", QByteArray("<?xml version=\"1.0\"?><office:document-content") +
                               kOdfNamespaces + "><office:body>" + body +
                               "</office:body></office:document-content>");
    return zip.bytes();
}

QByteArray xlsx(const QByteArray& strings, const QByteArray& cells) {
    const QByteArray ns = R"( xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")";
    ZipWriter zip;
    zip.add("[Content_Types].xml",
            R"(<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
            R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/></Types>)");
    zip.add("_rels/.rels",
            R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>)");
    zip.add("xl/_rels/workbook.xml.rels",
            R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
            R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>)");
    zip.add("xl/workbook.xml", "<workbook" + ns + R"(><sheets><sheet name="One" sheetId="1" r:id="rId1"/></sheets></workbook>)");
    zip.add("xl/sharedStrings.xml", "<sst" + ns + ">" + strings + "</sst>");
    zip.add("xl/worksheets/sheet1.xml", "<worksheet" + ns + "><sheetData><row r=\"1\">" + cells +
                                            "</row></sheetData><headerFooter><oddHeader>&amp;CPage header</oddHeader></headerFooter></worksheet>");
    return zip.bytes();
}

// A two-page book whose spine reads the pages in the opposite order to the manifest.
QByteArray epub(const QByteArray& first, const QByteArray& second) {
    ZipWriter zip;
    zip.add("mimetype", "application/epub+zip");
    zip.add("META-INF/container.xml",
            R"(<?xml version="1.0"?><container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">)"
            R"(<rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/></rootfiles></container>)");
    zip.add("OEBPS/content.opf",
            R"(<?xml version="1.0"?><package xmlns="http://www.idpf.org/2007/opf" version="3.0"><metadata/>)"
            R"(<manifest><item id="b" href="text/page%202.xhtml" media-type="application/xhtml+xml"/>)"
            R"(<item id="a" href="text/page1.xhtml" media-type="application/xhtml+xml"/>)"
            R"(<item id="css" href="style.css" media-type="text/css"/></manifest>)"
            R"(<spine><itemref idref="a"/><itemref idref="b"/></spine></package>)");
    zip.add("OEBPS/style.css", "p { margin: 0 }");
    const QByteArray head = R"(<?xml version="1.0" encoding="UTF-8"?><html xmlns="http://www.w3.org/1999/xhtml"><head><title>Book title</title></head><body>)";
    zip.add("OEBPS/text/page1.xhtml", head + first + "</body></html>");
    zip.add("OEBPS/text/page 2.xhtml", head + second + "</body></html>");
    return zip.bytes();
}

class DocumentTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!DocumentContentSource::readsDocuments()) {
            GTEST_SKIP() << "built without the document libraries";
        }
        ASSERT_TRUE(dir.isValid());
    }

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        EXPECT_EQ(f.write(bytes), bytes.size());
        return path;
    }

    QTemporaryDir dir;
};

// The same short text saved by office programs in every kind: a heading, a paragraph with
// a footnote, a 2x2 table, a page-count field, a text frame, and a header, footer, comment
// and deleted revision that must not count. Where a kind shows more or less than the
// others, the README says why.
struct FixtureRow {
    const char* file;
    qint64 classic;
    qint64 unicode;  // whitespace-separated runs, as the Unicode counter stands now
    bool printsPageFurniture;  // a PDF shows its header, footer and deleted text
};

const FixtureRow kFixtures[] = {
    {"garden.docx", 38, 38, false},
    {"garden.odt", 38, 38, false},
    {"garden.doc", 38, 38, false},
    {"garden.rtf", 38, 38, false},
    {"garden.pdf", 47, 47, true},
    // pandoc's HTML: no frame, the footnote at the end with a "↩︎" link glued to it.
    {"garden.html", 35, 35, false},
    // LibreOffice's EPUB: keeps the deleted words as text, drops the page-count field.
    {"garden.epub", 39, 39, false},
    {"deck.pptx", 18, 18, false},
    {"deck.odp", 18, 18, false},
    {"harvest.xlsx", 16, 16, false},
    {"harvest.ods", 16, 16, false},
    // Written by hand: what the others hide is front matter, a comment, link targets and code.
    {"garden.md", 38, 38, false},
};

TEST_F(DocumentTextTest, FixturesCountTheWordsTheyShow) {
    for (const FixtureRow& row : kFixtures) {
        SCOPED_TRACE(row.file);
        const Extracted e = extract(fixture(QString::fromLatin1(row.file)));
        ASSERT_TRUE(e.opened) << qPrintable(e.error);
        ASSERT_FALSE(e.readFailed) << qPrintable(e.error);
        EXPECT_TRUE(e.text.startsWith(kBom));
        EXPECT_EQ(classicCount(e.text), row.classic) << e.text.constData();
        EXPECT_EQ(unicodeCount(e.text), row.unicode) << e.text.constData();
        // No line breaks or tabs survive: they would glue words under the classic rule.
        EXPECT_FALSE(e.text.contains('\n') || e.text.contains('\t') || e.text.contains('\r'));
        EXPECT_FALSE(e.text.contains("  "));
        EXPECT_TRUE(e.text.contains("Quarterly Garden Notes"));
        for (const char* never : {"Reviewer", "Speaker", "Ann", "NUMPAGES", "Garden Title"}) {
            EXPECT_FALSE(e.text.contains(never)) << never;
        }
        if (!row.printsPageFurniture) {
            for (const char* never : {"Private", "Confidential"}) {
                EXPECT_FALSE(e.text.contains(never)) << never;
            }
        }
    }
}

TEST_F(DocumentTextTest, UnreadableFixturesSayWhy) {
    const struct {
        const char* file;
        const char* reason;
    } rows[] = {
        {"garden-encrypted.pdf", "encrypted PDF"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const Extracted e = extract(fixture(QString::fromLatin1(row.file)));
        EXPECT_FALSE(e.opened);
        EXPECT_EQ(e.error, QString::fromLatin1(row.reason));
    }
}

// Only a document with pages and no text on any of them is said to have no text layer.
TEST_F(DocumentTextTest, APdfOfPicturesHasNoTextLayer) {
    const struct {
        const char* file;
        ContentNotes notes;
    } rows[] = {
        {"scanned.pdf", ContentNote::NoTextLayer},
        {"garden.pdf", {}},
        {"garden.docx", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const Extracted e = extract(fixture(QString::fromLatin1(row.file)));
        ASSERT_TRUE(e.opened) << qPrintable(e.error);
        EXPECT_FALSE(e.readFailed) << qPrintable(e.error);
        EXPECT_EQ(e.notes, row.notes);
    }
}

// Generated documents, one fault each.
struct GeneratedRow {
    const char* name;
    std::function<QByteArray()> make;
    QByteArray text;  // the text shown, byte-order mark left out
    qint64 classic;
    qint64 unicode;
};

TEST_F(DocumentTextTest, GeneratedDocuments) {
    const GeneratedRow rows[] = {
        {"empty.docx", [] { return docx(""); }, "", 0, 0},
        {"runs.docx",
         [] {
             return docx(
                 "<w:p><w:r><w:t>Hel</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>lo</w:t></w:r>"
                 "<w:r><w:tab/><w:t>tab</w:t></w:r><w:r><w:br/><w:t>break</w:t></w:r>"
                 "<w:r><w:t>well</w:t><w:noBreakHyphen/><w:t>known</w:t></w:r></w:p>" +
                 para("next"));
         },
         "Hello tab breakwell-known next", 4, 4},
        {"nested-tables.docx",
         [] {
             return docx("<w:tbl><w:tr><w:tc>" + para("outer") +
                         "<w:tbl><w:tr><w:tc>" + para("in1") + "</w:tc><w:tc>" + para("in2") +
                         "</w:tc></w:tr></w:tbl></w:tc><w:tc>" + para("last") +
                         "</w:tc></w:tr></w:tbl>");
         },
         "outer in1 in2 last", 4, 4},
        {"unseen.docx",
         [] {
             return docx(
                 "<w:p><w:r><w:t xml:space=\"preserve\">kept </w:t></w:r>"
                 "<w:del><w:r><w:delText>gone</w:delText></w:r></w:del>"
                 "<w:moveFrom><w:r><w:t>moved</w:t></w:r></w:moveFrom>"
                 "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>"
                 "<w:r><w:instrText> PAGE \\* ARABIC </w:instrText></w:r>"
                 "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r><w:r><w:t>7</w:t></w:r>"
                 "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>"
                 "<w:r><w:rPr><w:vanish/></w:rPr><w:t>secret</w:t></w:r>"
                 "<w:r><w:rPr><w:vanish w:val=\"0\"/></w:rPr><w:t xml:space=\"preserve\"> shown</w:t></w:r></w:p>");
         },
         "kept 7 shown", 3, 3},
        {"textbox.docx",
         [] {
             const QByteArray box = "<w:txbxContent>" + para("boxed words") + "</w:txbxContent>";
             return docx("<w:p><w:r><w:t>before</w:t></w:r><w:r><mc:AlternateContent>"
                         "<mc:Choice Requires=\"wps\"><w:drawing><wps:txbx>" + box +
                         "</wps:txbx></w:drawing></mc:Choice><mc:Fallback><w:pict><v:textbox>" +
                         box + "</v:textbox></w:pict></mc:Fallback></mc:AlternateContent></w:r>"
                         "<w:r><w:t>after</w:t></w:r></w:p>");
         },
         "before boxed words after", 4, 4},
        {"notes.docx",
         [] {
             return docx(para("body") + "<w:sectPr/>",
                         "<w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/>"
                         "</w:r></w:p></w:footnote><w:footnote w:id=\"1\">" + para("note text") +
                             "</w:footnote>",
                         para("header words"));
         },
         "body note text", 3, 3},
        {"cells.ods",
         [] {
             return odf("spreadsheet",
                        "<office:spreadsheet><table:table>"
                        "<table:table-row><table:table-cell table:number-columns-repeated=\"3\">"
                        "<text:p>tick</text:p></table:table-cell>"
                        "<table:table-cell table:number-columns-repeated=\"1000\"/></table:table-row>"
                        "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell>"
                        "<text:p>row</text:p><office:annotation><dc:creator>Ann</dc:creator>"
                        "<text:p>comment</text:p></office:annotation></table:table-cell></table:table-row>"
                        "<table:table-row table:number-rows-repeated=\"1048000\">"
                        "<table:table-cell table:number-columns-repeated=\"1024\"/></table:table-row>"
                        "</table:table></office:spreadsheet>");
         },
         "tick tick tick row row", 5, 5},
        {"spaces.odt",
         [] {
             return odf("text",
                        "<office:text><text:h>Head<text:s/>line</text:h><text:p>a<text:tab/>b"
                        "<text:line-break/>c<text:span>d</text:span>e<text:note><text:note-citation>1"
                        "</text:note-citation><text:note-body><text:p>note</text:p></text:note-body>"
                        "</text:note></text:p><text:list><text:list-item><text:p>one</text:p>"
                        "</text:list-item><text:list-item><text:p>two</text:p></text:list-item>"
                        "</text:list><text:tracked-changes><text:changed-region><text:deletion>"
                        "<text:p>deleted</text:p></text:deletion></text:changed-region>"
                        "</text:tracked-changes></office:text>");
         },
         "Head line a b cde note one two", 8, 8},
        {"sheet.xlsx",
         [] {
             return xlsx("<si><t>alpha beta</t></si><si><r><t>gam</t></r><r><t>ma</t></r>"
                         "<rPh><t>phonetic</t></rPh></si>",
                         "<c t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c><c t=\"s\"><v>0</v></c>"
                         "<c><v>42.5</v></c><c t=\"b\"><v>1</v></c>"
                         "<c t=\"inlineStr\"><is><t>delta</t></is></c>"
                         "<c t=\"str\"><f>CONCAT(\"x\",\" y\")</f><v>x y</v></c>");
         },
         "alpha beta gamma alpha beta 42.5 TRUE delta x y", 10, 10},
        {"book.epub",
         [] {
             return epub("<p>First <b>pa</b>ge</p><script>var no = 1;</script>",
                         "<h1>Second</h1><p>page &#160;end</p>");
         },
         "First page Second page \xC2\xA0" "end", 5, 5},
        {"page.html",
         [] {
             return QByteArray(
                 "<!DOCTYPE html><html><head><title>Tab title</title><style>p{color:red}</style>"
                 "<script>var hidden = 1;</script></head><body><p>Caf&eacute; <b>au</b> lait</p>"
                 "<div>one<br>two</div><p>sp<i>lit</i></p><ul><li>first</li><li>second</li></ul>"
                 "<table><tr><td>c1</td><td>c2</td></tr></table><noscript>js off</noscript>"
                 "<!-- a comment --></body></html>");
         },
         "Caf\xC3\xA9 au lait one two split first second c1 c2", 10, 10},
        {"raw-utf8.html",
         [] { return QByteArray("<html><body><p>na\xC3\xAFve caf\xC3\xA9</p></body></html>"); },
         "na\xC3\xAFve caf\xC3\xA9", 2, 2},
        {"declared.html",
         [] {
             return QByteArray("<html><head><meta charset=\"windows-1252\"></head><body><p>"
                               "caf\xE9 \x93quoted\x94</p></body></html>");
         },
         "caf\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D", 2, 2},
        {"opening-tag.txt",
         [] { return QByteArray("\xEF\xBB\xBF \n <HTML><body>fish&amp;chips</body></HTML>"); },
         "fish&chips", 1, 1},
        {"styled.rtf",
         [] {
             return QByteArray(
                 "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Times;}}{\\colortbl;\\red0\\green0\\blue0;}"
                 "{\\stylesheet{\\s1 Heading;}}{\\info{\\title Secret title}}{\\*\\generator Gen;}"
                 "{\\header Head words}\\pard caf\\'e9 au\\par lait\\tab next\\line row\\cell cell\\row "
                 "{\\*\\unknown hidden dest}\\uc1 A\\u8212?B \\u26085? {\\v invisible} shown "
                 "{\\pict\\bin3 }}}}{\\field{\\*\\fldinst PAGE}{\\fldrslt 9}} sp{\\b lit}\r\nend}");
         },
         // Line ends in an RTF file are not text: "lit" and "end" join.
         "caf\xC3\xA9 au lait next row cell A\xE2\x80\x94" "B \xE6\x97\xA5 shown 9 splitend", 10, 11},
        {"plain-text.docx", [] { return QByteArray("just some words\n"); }, "just some words\n", 3, 3},
    };
    for (const GeneratedRow& row : rows) {
        SCOPED_TRACE(row.name);
        const Extracted e = extract(write(QString::fromLatin1(row.name), row.make()));
        ASSERT_TRUE(e.opened) << qPrintable(e.error);
        ASSERT_FALSE(e.readFailed) << qPrintable(e.error);
        EXPECT_EQ(shown(e.text), row.text);
        EXPECT_EQ(classicCount(e.text), row.classic);
        EXPECT_EQ(unicodeCount(e.text), row.unicode);
    }
}

TEST_F(DocumentTextTest, FilesThatAreNoDocumentsAreReadAsTheirBytes) {
    ZipWriter plainZip;
    plainZip.add("a.txt", "hello zipped world");
    const struct {
        const char* name;
        QByteArray bytes;
    } rows[] = {
        {"plain.txt", "Plain words, here.\r\nAnd more\tof them CJ$ cut"},
        {"archive.zip", plainZip.bytes()},
        {"notes.docx", "looks like a document by name only"},
        {"letter.doc", "Dear all, a Word file by name only"},
        {"page.pdf", "%PDF is how this line starts, and nothing else of one"},
        {"harvest.xls", fileBytes(fixture(QStringLiteral("harvest.xls")))},
        {"fake.pdf", "no signature, a PDF by name only"},
        {"empty.rtf", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Extracted e = extract(write(QString::fromLatin1(row.name), row.bytes));
        ASSERT_TRUE(e.opened) << qPrintable(e.error);
        EXPECT_EQ(e.text, row.bytes);
    }
}

TEST_F(DocumentTextTest, DamagedOrEncryptedDocumentsFailWithTheReason) {
    const QByteArray good = docx(para("some words here"));
    QByteArray badCrc = good;
    badCrc[badCrc.indexOf("some words") + 2] = 'X';  // the entry no longer matches its checksum
    const QByteArray doc = fileBytes(fixture(QStringLiteral("garden.doc")));
    QByteArray badXml = docx("<w:p><w:r><w:t>open</w:t></w:r>");
    const struct {
        const char* name;
        QByteArray bytes;
        bool failsAtOpen;
        const char* reason;  // the start of the reason
    } rows[] = {
        {"cut.docx", good.left(good.size() / 2), true, "damaged document: "},
        {"cut-unnamed.bin", good.left(good.size() / 2), true, "damaged document: "},
        {"checksum.docx", badCrc, false, "damaged document: word/document.xml"},
        {"unclosed.docx", badXml, false, "damaged document: word/document.xml"},
        {"sealed.odt",
         odf("text", "<office:text><text:p>x</text:p></office:text>",
             "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
             "<manifest:file-entry manifest:full-path=\"content.xml\"><manifest:encryption-data/>"
             "</manifest:file-entry></manifest:manifest>"),
         true, "encrypted document"},
        {"broken.pdf", "%PDF-1.4\nnothing of a PDF follows\n", true, "damaged document: "},
        {"cut.doc", doc.left(3000), true, "damaged document: "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Extracted e = extract(write(QString::fromLatin1(row.name), row.bytes));
        EXPECT_EQ(e.opened, !row.failsAtOpen);
        if (!row.failsAtOpen) {
            EXPECT_TRUE(e.readFailed);
        }
        EXPECT_TRUE(e.error.startsWith(QString::fromLatin1(row.reason))) << qPrintable(e.error);
    }
}

// Much markup and little text: reads keep coming back in small pieces (the window yields
// between them), and the bytes that keep them coming change no count.
TEST_F(DocumentTextTest, LongStretchesWithoutTextStillComeBackInPieces) {
    QByteArray body = para("Start");
    for (int i = 0; i < 60000; ++i) {
        body += "<w:p><w:pPr><w:jc w:val=\"left\"/></w:pPr></w:p>";
    }
    for (int i = 0; i < 20000; ++i) {
        body += para("word");
    }
    body += para("End");
    const Extracted e = extract(write(QStringLiteral("long.docx"), docx(body)));
    ASSERT_TRUE(e.opened);
    ASSERT_FALSE(e.readFailed);
    EXPECT_GT(e.reads, 20);
    EXPECT_EQ(classicCount(e.text), 20002);
    EXPECT_EQ(unicodeCount(e.text), 20002);
}

// A job over a folder of documents, as the window runs it.
class DocumentJobTest : public DocumentTextTest {
protected:
    CountResult run(const QStringList& entries, bool documentText, WordRule rule) {
        CountRequest request;
        request.folder = dir.path();
        request.entries = entries;
        request.options = [] { return ReportOptions{}; };
        request.letterCase = [] { return LetterCase::Untouched; };
        request.rule = rule;
        request.keepEntries = true;
        CountParts parts;
        parts.makeSource = contentSourceFactory(documentText);
        CountJob job(request, parts);
        return job.run();
    }
};

TEST_F(DocumentJobTest, CountsEveryFixtureAndListsTheUnreadable) {
    QStringList entries;
    for (const FixtureRow& row : kFixtures) {
        const QString name = QString::fromLatin1(row.file);
        write(name, fileBytes(fixture(name)));
        entries.append(name);
    }
    write(QStringLiteral("garden-encrypted.pdf"),
          fileBytes(fixture(QStringLiteral("garden-encrypted.pdf"))));
    write(QStringLiteral("cut.docx"), docx(para("whole")).left(40));
    write(QStringLiteral("notes.txt"), "three plain words");
    entries << QStringLiteral("garden-encrypted.pdf") << QStringLiteral("cut.docx")
            << QStringLiteral("notes.txt");

    for (const WordRule rule : {WordRule::Classic, WordRule::Unicode}) {
        SCOPED_TRACE(static_cast<int>(rule));
        const CountResult result = run(entries, true, rule);
        ASSERT_EQ(result.outcome, CountResult::Outcome::Completed);
        ASSERT_EQ(result.counted.size(), std::size(kFixtures) + 1);
        qint64 total = 0;
        for (std::size_t i = 0; i < std::size(kFixtures); ++i) {
            const qint64 expected =
                rule == WordRule::Classic ? kFixtures[i].classic : kFixtures[i].unicode;
            EXPECT_EQ(result.counted[qsizetype(i)].name, QString::fromLatin1(kFixtures[i].file));
            EXPECT_EQ(result.counted[qsizetype(i)].words, expected) << kFixtures[i].file;
            total += expected;
        }
        EXPECT_EQ(result.counted.last().words, 3);
        EXPECT_EQ(result.total, total + 3);
        ASSERT_EQ(result.notCounted.size(), 2);
        EXPECT_EQ(result.notCounted[0].name, QStringLiteral("garden-encrypted.pdf"));
        EXPECT_EQ(result.notCounted[0].reason, QStringLiteral("encrypted PDF"));
        EXPECT_EQ(result.notCounted[1].name, QStringLiteral("cut.docx"));
        EXPECT_TRUE(result.notCounted[1].reason.startsWith(QStringLiteral("damaged document: ")));
    }
}

// Japanese in a font the PDF does not hold, through Adobe's predefined character maps:
// poppler loads those from poppler-data while the worker is already confined, and
// without them the page reads as empty.
TEST_F(DocumentJobTest, ReadsAPdfWhoseTextNeedsPopplersCharacterMaps) {
    const QString name = QStringLiteral("sakura.pdf");
    write(name, fileBytes(fixture(name)));
    const CountResult result = run({name}, true, WordRule::Unicode);
    ASSERT_EQ(result.outcome, CountResult::Outcome::Completed);
    ASSERT_EQ(result.notCounted.size(), 0) << qPrintable(result.notCounted[0].reason);
    ASSERT_EQ(result.counted.size(), 1);
    // 庭の桜が咲いた and 春の朝: each Han or kana character is a word.
    EXPECT_EQ(result.counted[0].words, 10);
}

TEST_F(DocumentJobTest, FilesThatAreNoDocumentsCountTheSameEitherWay) {
    QByteArray large;
    for (int i = 0; i < 40000; ++i) {
        large += "line " + QByteArray::number(i) + " of the log, don't split\n";
    }
    write(QStringLiteral("log.txt"), large);
    write(QStringLiteral("harvest.xls"), fileBytes(fixture(QStringLiteral("harvest.xls"))));
    write(QStringLiteral("named.docx"), "a text file under an office name");
    const QStringList entries = {QStringLiteral("log.txt"), QStringLiteral("harvest.xls"),
                                 QStringLiteral("named.docx")};
    for (const WordRule rule : {WordRule::Classic, WordRule::Unicode}) {
        const CountResult bytes = run(entries, false, rule);
        const CountResult documents = run(entries, true, rule);
        ASSERT_EQ(bytes.counted.size(), 3);
        ASSERT_EQ(documents.counted.size(), 3);
        for (qsizetype i = 0; i < 3; ++i) {
            EXPECT_EQ(documents.counted[i].words, bytes.counted[i].words) << i;
        }
        // The classic rule drops a line break without a gap: each line's last word joins
        // the next line's first.
        EXPECT_EQ(bytes.counted[0].words, rule == WordRule::Classic ? 40000 * 6 + 1 : 40000 * 7);
    }
}

// Markdown is read for its prose only with document text on; without, its bytes count.
TEST_F(DocumentJobTest, MarkdownCountsItsProseWithDocumentTextOn) {
    const struct {
        const char* file;
        qint64 classic;
        qint64 unicode;
    } rows[] = {
        {"garden.md", 38, 38},
        {"notes.markdown", 23, 23},
    };
    QStringList entries;
    for (const auto& row : rows) {
        const QString name = QString::fromLatin1(row.file);
        const QByteArray bytes = fileBytes(fixture(name));
        ASSERT_FALSE(bytes.isEmpty()) << row.file;
        write(name, bytes);
        entries.append(name);
    }
    for (const WordRule rule : {WordRule::Classic, WordRule::Unicode}) {
        SCOPED_TRACE(static_cast<int>(rule));
        const CountResult prose = run(entries, true, rule);
        const CountResult bytes = run(entries, false, rule);
        ASSERT_EQ(prose.counted.size(), qsizetype(std::size(rows)));
        ASSERT_EQ(bytes.counted.size(), qsizetype(std::size(rows)));
        for (qsizetype i = 0; i < qsizetype(std::size(rows)); ++i) {
            SCOPED_TRACE(rows[i].file);
            const QByteArray raw = fileBytes(fixture(QString::fromLatin1(rows[i].file)));
            const bool classic = rule == WordRule::Classic;
            EXPECT_EQ(prose.counted[i].words, classic ? rows[i].classic : rows[i].unicode);
            EXPECT_EQ(bytes.counted[i].words, classic ? classicCount(raw) : unicodeCount(raw));
        }
    }
}

// A manuscript far larger than the reader worker's memory still counts, read in pieces.
TEST_F(DocumentJobTest, AHugeMarkdownFileCountsWithinTheWorkersMemory) {
    const QByteArray section =
        "# Heading words\n\nA paragraph with *six* [words](http://x.org/hidden).\n\n"
        "```\nhidden code\n\nmore hidden\n```\n\n| a | b |\n|---|---|\n| c | d |\n\n";
    const qint64 wordsPerSection = 2 + 5 + 4;
    QByteArray block;
    while (block.size() < (1 << 20)) {
        block += section;
    }
    const qint64 blocks = 500;
    const QString path = dir.filePath(QStringLiteral("huge.md"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (qint64 i = 0; i < blocks; ++i) {
            ASSERT_EQ(f.write(block), block.size());
        }
    }
    const CountResult result = run({QStringLiteral("huge.md")}, true, WordRule::Classic);
    ASSERT_EQ(result.outcome, CountResult::Outcome::Completed);
    ASSERT_EQ(result.notCounted.size(), 0) << qPrintable(result.notCounted[0].reason);
    ASSERT_EQ(result.counted.size(), 1);
    EXPECT_EQ(result.counted[0].words, blocks * (block.size() / section.size()) * wordsPerSection);
}

}  // namespace
}  // namespace quorvane

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include "documents/DocumentContentSource.h"
#include "documents/DocumentFile.h"
#include "documents/DocumentReader.h"
#include "documents/PdfTextReader.h"
#include "documents/WordBinaryReader.h"
#include "documents/ZipDocumentReader.h"
#include "platform/FileContentSource.h"
#include "tests/documents/CompoundFileWriter.h"
#include "tests/documents/ZipWriter.h"

namespace quorvane {
namespace {

// Files of a document's make that may or may not hold one: a reader that finds none says
// so, and the file counts as its bytes, unchanged; one that finds a document it cannot
// read says why.

using Start = DocumentReader::Start;
using test::compoundFile;
using test::ZipWriter;

QByteArray fixture(const char* name) {
    QFile f(QFileInfo(QString::fromUtf8(__FILE__)).absolutePath() +
            QStringLiteral("/../data/documents/") + QString::fromLatin1(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray zipOf(std::initializer_list<std::pair<QByteArray, QByteArray>> entries) {
    ZipWriter zip;
    for (const auto& [name, data] : entries) {
        zip.add(name, data);
    }
    return zip.bytes();
}

// A ZIP file's first local header, the archive behind it cut away, so it cannot be opened.
QByteArray cutZip(const QByteArray& firstEntry) {
    return zipOf({{firstEntry, QByteArray("text of the first entry ").repeated(40)}}).left(200);
}

const QByteArray kRels =
    R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.microsoft.com/xps/2005/06/fixedrepresentation" Target="FixedDocSeq.fdseq"/></Relationships>)";
const QByteArray kTypes =
    R"(<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>)";

enum class Reader { Zip, ZipClaimed, Word, Pdf };

std::unique_ptr<DocumentReader> makeReader(Reader reader, DocumentFile& file) {
    switch (reader) {
        case Reader::Zip:
            return std::make_unique<ZipDocumentReader>(file, false);
        case Reader::ZipClaimed:
            return std::make_unique<ZipDocumentReader>(file, true);
        case Reader::Word:
            return std::make_unique<WordBinaryReader>(file);
        case Reader::Pdf:
            return std::make_unique<PdfTextReader>(file);
    }
    return nullptr;
}

struct Row {
    const char* name;
    std::function<QByteArray()> make;
    Reader reader;  // the reader the file's first bytes pick
    Start start;
    const char* reason;  // where it fails: the start of the reason
};

const Row kRows[] = {
    {"plain.zip",
     [] {
         return zipOf({{"a.txt", "hello zipped world"}});
     },
     Reader::Zip, Start::NotADocument, nullptr},
    {"other.zip",
     [] {
         return zipOf({{"mimetype", "application/x-other"}, {"a.txt", "x"}});
     },
     Reader::Zip, Start::NotADocument, nullptr},
    // An XPS page set: the office packages' make, but no office document in it.
    {"pages.xps",
     [] {
         return zipOf({{"[Content_Types].xml", kTypes}, {"_rels/.rels", kRels}});
     },
     Reader::Zip, Start::NotADocument, nullptr},
    {"cut.bin", [] { return cutZip("a.txt"); }, Reader::Zip, Start::NotADocument, nullptr},
    {"cut.docx", [] { return cutZip("a.txt"); }, Reader::ZipClaimed, Start::Failed,
     "damaged document: "},
    {"cut-office.bin", [] { return cutZip("[Content_Types].xml"); }, Reader::ZipClaimed,
     Start::Failed, "damaged document: "},
    {"no-types.docx",
     [] {
         return zipOf({{"_rels/.rels", kRels}});
     },
     Reader::ZipClaimed, Start::Failed, "damaged document: [Content_Types].xml is missing"},
    {"harvest.xls", [] { return fixture("harvest.xls"); }, Reader::Word, Start::NotADocument,
     nullptr},
    {"workbook.xls",
     [] {
         return compoundFile({{QStringLiteral("Workbook"), "cells"}});
     },
     Reader::Word, Start::NotADocument, nullptr},
    {"sealed.docx",
     [] {
         return compoundFile({{QStringLiteral("EncryptedPackage"), "sealed bytes"}});
     },
     Reader::Word, Start::Failed, "encrypted document"},
    {"garden.doc", [] { return fixture("garden.doc"); }, Reader::Word, Start::Document, nullptr},
    {"broken.pdf", [] { return QByteArray("%PDF-1.4\nno PDF follows\n"); }, Reader::Pdf,
     Start::Failed, "damaged document: not a readable PDF"},
};

class NotADocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!DocumentContentSource::readsDocuments()) {
            GTEST_SKIP() << "built without the document libraries";
        }
        ASSERT_TRUE(dir.isValid());
    }

    QString write(const char* name, const QByteArray& bytes) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        EXPECT_EQ(f.write(bytes), bytes.size());
        return path;
    }

    QTemporaryDir dir;
};

TEST_F(NotADocumentTest, EachReaderTellsWhetherTheFileHoldsItsKindOfDocument) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        const QByteArray bytes = row.make();
        ASSERT_FALSE(bytes.isEmpty());
        FileContentSource opened;
        ASSERT_TRUE(opened.open(write(row.name, bytes)));
        DocumentFile file;
        ASSERT_TRUE(file.open(opened));
        const std::unique_ptr<DocumentReader> reader = makeReader(row.reader, file);
        EXPECT_EQ(reader->start(), row.start);
        if (row.reason != nullptr) {
            EXPECT_TRUE(reader->errorString().startsWith(QString::fromLatin1(row.reason)))
                << qPrintable(reader->errorString());
        }
    }
}

TEST_F(NotADocumentTest, TheCountReadsAFileThatHoldsNoDocumentAsItsBytes) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        const QByteArray bytes = row.make();
        DocumentContentSource source;
        const bool opened = source.open(write(row.name, bytes));
        if (row.start == Start::Failed) {
            EXPECT_FALSE(opened);
            EXPECT_TRUE(source.errorString().startsWith(QString::fromLatin1(row.reason)))
                << qPrintable(source.errorString());
            continue;
        }
        ASSERT_TRUE(opened) << qPrintable(source.errorString());
        EXPECT_EQ(source.isDocument(), row.start == Start::Document);
        if (row.start == Start::NotADocument) {
            // Read as a plain file is: in parts, and every byte as it is.
            EXPECT_TRUE(source.canReadAt());
            QByteArray text(bytes.size() + 1, '\0');
            qint64 got = 0;
            for (qint64 n = 1; n > 0 && got < text.size(); got += n) {
                n = source.read(text.data() + got, text.size() - got);
                ASSERT_GE(n, 0) << qPrintable(source.errorString());
            }
            EXPECT_EQ(text.left(got), bytes);
        }
    }
}

}  // namespace
}  // namespace quorvane

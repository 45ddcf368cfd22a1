// Throughput of reading documents as the text they show: MB of extracted text per second
// through DocumentContentSource, as the count job reads it (64 KiB per read), and the
// process's peak memory. The documents are made here: a large Word file written by libzip
// from paragraphs generated on the fly (so making it costs no memory), a many-page PDF
// written by hand and a long Markdown manuscript (mostly prose); plus the small PDF fixture read over and
// over. source_MB/s is the rate through the file itself.
//
//   QUORVANE_BENCH_DOCX_MB=200 build/bench/bench_documents   # the size of document.xml
//   QUORVANE_BENCH_MARKDOWN_MB=500 build/bench/bench_documents --benchmark_filter=Markdown
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <zip.h>

#include <chrono>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "count/WordCounter.h"
#include "documents/DocumentContentSource.h"

namespace {

QString scratch(const QString& name) {
    static QTemporaryDir dir;
    return dir.filePath(name);
}

double peakRssMb() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// word/document.xml, paragraph by paragraph, until it holds `target` bytes.
struct GeneratedBody {
    qint64 target = 0;
    qint64 produced = 0;
    qint64 paragraph = 0;
    std::string pending;
    std::size_t pendingAt = 0;
    bool finished = false;

    void refill() {
        pending.clear();
        pendingAt = 0;
        if (produced == 0) {
            pending = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                      R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)";
        }
        while (pending.size() < 64 * 1024 && produced + qint64(pending.size()) < target) {
            pending += R"(<w:p><w:pPr><w:pStyle w:val="Normal"/></w:pPr><w:r><w:t>The quick brown fox number )";
            pending += std::to_string(++paragraph);
            pending += R"( jumps over the lazy dog.</w:t></w:r><w:r><w:rPr><w:b/></w:rPr>)"
                       R"(<w:t xml:space="preserve"> Bold words follow, then a tab</w:t><w:tab/>)"
                       R"(<w:t>and the end.</w:t></w:r></w:p>)";
        }
        if (produced + qint64(pending.size()) >= target && !finished) {
            pending += "</w:body></w:document>";
            finished = true;
        }
    }
};

zip_int64_t generateBody(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
    auto* body = static_cast<GeneratedBody*>(userdata);
    switch (cmd) {
        case ZIP_SOURCE_OPEN:
            return 0;
        case ZIP_SOURCE_READ: {
            if (body->pendingAt == body->pending.size()) {
                if (body->finished) {
                    return 0;
                }
                body->refill();
            }
            const std::size_t n = std::min<std::size_t>(length, body->pending.size() - body->pendingAt);
            std::memcpy(data, body->pending.data() + body->pendingAt, n);
            body->pendingAt += n;
            body->produced += qint64(n);
            return zip_int64_t(n);
        }
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return 0;
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                  ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            return -1;
    }
}

bool addText(zip_t* archive, const char* name, const char* text) {
    zip_source_t* source = zip_source_buffer(archive, text, std::strlen(text), 0);
    return source != nullptr && zip_file_add(archive, name, source, ZIP_FL_OVERWRITE) >= 0;
}

QString makeDocx(qint64 megabytes) {
    const QString path = scratch(QStringLiteral("large-%1.docx").arg(megabytes));
    if (QFileInfo::exists(path)) {
        return path;
    }
    int error = 0;
    zip_t* archive = zip_open(path.toLocal8Bit().constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr) {
        return {};
    }
    addText(archive, "[Content_Types].xml",
            R"(<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
            R"(<Default Extension="xml" ContentType="application/xml"/>)"
            R"(<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>)");
    addText(archive, "_rels/.rels",
            R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>)");
    static GeneratedBody body;
    body = GeneratedBody{};
    body.target = megabytes << 20;
    zip_source_t* source = zip_source_function(archive, generateBody, &body);
    if (source == nullptr || zip_file_add(archive, "word/document.xml", source, 0) < 0) {
        zip_discard(archive);
        return {};
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        return {};
    }
    return path;
}

// A PDF of `pages` pages of Helvetica text, uncompressed, with its cross-reference table.
QString makePdf(int pages) {
    const QString path = scratch(QStringLiteral("pages-%1.pdf").arg(pages));
    if (QFileInfo::exists(path)) {
        return path;
    }
    QByteArray pdf = "%PDF-1.4\n";
    std::vector<qsizetype> offsets;
    const auto object = [&](const QByteArray& body) {
        offsets.push_back(pdf.size());
        pdf += QByteArray::number(qsizetype(offsets.size())) + " 0 obj\n" + body + "\nendobj\n";
    };
    QByteArray kids;
    for (int i = 0; i < pages; ++i) {
        kids += QByteArray::number(4 + 2 * i) + " 0 R ";
    }
    object("<< /Type /Catalog /Pages 2 0 R >>");
    object("<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages) + " >>");
    object("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    for (int i = 0; i < pages; ++i) {
        QByteArray content = "BT /F1 10 Tf 40 760 Td 13 TL\n";
        for (int line = 0; line < 55; ++line) {
            content += "(Line " + QByteArray::number(line) + " of page " + QByteArray::number(i) +
                       ": the quick brown fox jumps over the lazy dog again.) Tj T*\n";
        }
        content += "ET";
        object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> /Contents " +
               QByteArray::number(5 + 2 * i) + " 0 R >>");
        object("<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
               "\nendstream");
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(qsizetype(offsets.size()) + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets) {
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    }
    pdf += "trailer\n<< /Size " + QByteArray::number(qsizetype(offsets.size()) + 1) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size()) {
        return {};
    }
    return path;
}

// A manuscript of `megabytes` MiB: front matter, then chapters of a heading, paragraphs of
// prose with a little emphasis, a link, a short list, a quote and a code block.
QString makeMarkdown(qint64 megabytes) {
    const QString path = scratch(QStringLiteral("manuscript-%1.md").arg(megabytes));
    if (QFileInfo::exists(path)) {
        return path;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write("---\ntitle: A long manuscript\ntags: [bench]\n---\n\n") < 0) {
        return {};
    }
    const QByteArray paragraph =
        "The quick brown fox jumps over the lazy dog while the farmer watches from the porch, "
        "and the afternoon light falls across the field in long *golden* stripes. She thought\n"
        "about the harvest, the rain that had not come, and the letters she still owed her "
        "sister; none of it could wait much longer, and yet the evening was too fine.\n\n";
    const QByteArray chapter =
        "## Chapter heading\n\n" + paragraph.repeated(6) +
        "She wrote to [her sister](https://example.org/letters \"Letters\") that night.\n\n"
        "- first item of the list\n- second item, **bold**\n\n> A quoted remark.\n\n"
        "```\ncode line\n```\n\n";
    QByteArray block;
    while (block.size() < (1 << 20)) {
        block += chapter;
    }
    for (qint64 written = 0; written < (megabytes << 20); written += block.size()) {
        if (file.write(block) != block.size()) {
            return {};
        }
    }
    return path;
}

void readDocument(benchmark::State& state, const QString& path) {
    if (path.isEmpty()) {
        state.SkipWithError("the document could not be made");
        return;
    }
    if (!quorvane::DocumentContentSource::readsDocuments()) {
        state.SkipWithError("built without the document libraries");
        return;
    }
    QByteArray buffer(64 * 1024, '\0');
    qint64 textBytes = 0;
    qint64 words = 0;
    qint64 reads = 0;
    double longestReadMs = 0;  // the window waits this long at most between yields
    for (auto _ : state) {
        quorvane::DocumentContentSource source;
        if (!source.open(path)) {
            state.SkipWithError(source.errorString().toLocal8Bit().constData());
            return;
        }
        quorvane::WordCounter counter;
        for (;;) {
            const auto before = std::chrono::steady_clock::now();
            const qint64 got = source.read(buffer.data(), buffer.size());
            longestReadMs = std::max(
                longestReadMs,
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before)
                    .count());
            if (got < 0) {
                state.SkipWithError(source.errorString().toLocal8Bit().constData());
                return;
            }
            if (got == 0) {
                break;
            }
            counter.feed(buffer.constData(), std::size_t(got));
            textBytes += got;
            ++reads;
        }
        words = counter.count();
    }
    state.SetBytesProcessed(textBytes);
    state.counters["file_MB"] = double(QFileInfo(path).size()) / (1 << 20);
    state.counters["source_MB/s"] =
        benchmark::Counter(double(QFileInfo(path).size()) / (1 << 20) * double(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["words"] = double(words);
    state.counters["reads"] = benchmark::Counter(double(reads), benchmark::Counter::kAvgIterations);
    state.counters["peak_rss_MB"] = peakRssMb();
    state.counters["longest_read_ms"] = longestReadMs;
}

qint64 docxMegabytes() {
    const char* value = std::getenv("QUORVANE_BENCH_DOCX_MB");
    const qint64 mb = value != nullptr ? std::atoll(value) : 0;
    return mb > 0 ? mb : 50;
}

void BM_LargeDocx(benchmark::State& state) {
    readDocument(state, makeDocx(docxMegabytes()));
}
BENCHMARK(BM_LargeDocx)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ManyPagePdf(benchmark::State& state) {
    readDocument(state, makePdf(int(state.range(0))));
}
BENCHMARK(BM_ManyPagePdf)->Arg(500)->Unit(benchmark::kMillisecond);

qint64 markdownMegabytes() {
    const char* value = std::getenv("QUORVANE_BENCH_MARKDOWN_MB");
    const qint64 mb = value != nullptr ? std::atoll(value) : 0;
    return mb > 0 ? mb : 100;
}

void BM_LargeMarkdown(benchmark::State& state) {
    readDocument(state, makeMarkdown(markdownMegabytes()));
}
BENCHMARK(BM_LargeMarkdown)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_FixturePdf(benchmark::State& state) {
    readDocument(state, QFileInfo(QString::fromUtf8(__FILE__)).absolutePath() +
                            QStringLiteral("/../tests/data/documents/garden.pdf"));
}
BENCHMARK(BM_FixturePdf)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include "count/UnicodeWordCounter.h"
#include "count/WordCounter.h"
#include "documents/DocumentContentSource.h"
#include "documents/MarkdownBlocks.h"
#include "documents/MarkdownTextReader.h"

namespace quorvane {
namespace {

const QByteArray kBom("\xEF\xBB\xBF");

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

class MarkdownTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!DocumentContentSource::readsDocuments()) {
            GTEST_SKIP() << "built without the document libraries";
        }
        ASSERT_TRUE(dir.isValid());
    }

    // The text a count reads from `bytes` saved as `name`, byte-order mark left out.
    QByteArray shown(const QByteArray& bytes, const char* name = "page.md") {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        EXPECT_EQ(f.write(bytes), bytes.size());
        f.close();
        DocumentContentSource source;
        EXPECT_TRUE(source.open(path)) << qPrintable(source.errorString());
        QByteArray text;
        QByteArray buffer(64 * 1024, '\0');
        qint64 got;
        while ((got = source.read(buffer.data(), buffer.size())) > 0) {
            text.append(buffer.constData(), got);
        }
        EXPECT_EQ(got, 0) << qPrintable(source.errorString());
        return text.startsWith(kBom) ? text.mid(3) : text;
    }

    QTemporaryDir dir;
};

struct ConstructRow {
    const char* what;
    QByteArray markdown;
    QByteArray text;  // what is shown, one space between words
    qint64 classic;
    qint64 unicode;
};

TEST_F(MarkdownTextTest, EachConstructShowsItsProseOnly) {
    const ConstructRow rows[] = {
        {"heading", "# Big *title*\n\nSub\n---\nafter", "Big title Sub after", 4, 4},
        {"emphasis joins a word", "ripe**ned** and _so_", "ripened and so", 3, 3},
        {"inline code counts", "run `make all` now", "run make all now", 4, 4},
        {"link text, not target", "see [the site](http://x.org/long/path \"Title words\")",
         "see the site", 3, 3},
        {"image alt, not path", "![a red barn](barn.png \"Barn\") stands",
         "a red barn stands", 4, 4},
        {"autolink address left out", "mail <ann@example.org> or <https://x.org/a> then",
         "mail or then", 3, 3},
        {"reference definition", "[seed]: http://x.org \"Hidden title\"\n\nUse [seed] now",
         "Use seed now", 3, 3},
        {"fenced code", "before\n\n```c\nint main() {}\n\nreturn 0;\n```\nafter",
         "before after", 2, 2},
        {"tilde fence", "a\n~~~\ncode\n~~~\nb", "a b", 2, 2},
        {"indented code", "para\n\n    code here\n    more code\n\nend", "para end", 2, 2},
        {"YAML front matter", "---\ntitle: Hidden Words\n---\nBody text", "Body text", 2, 2},
        {"YAML ended by dots", "---\na: b\n...\nBody", "Body", 1, 1},
        {"TOML front matter", "+++\ntitle = \"Hidden\"\n+++\nBody text", "Body text", 2, 2},
        {"a rule is no front matter", "---\n\nText\n\n---\nMore", "Text More", 2, 2},
        {"front matter only at the start", "Intro\n\n+++\nkey = 1\n+++\n",
         "Intro +++ key = 1 +++", 3, 3},
        {"HTML comment", "a <!-- hidden\nwords --> b\n\n<!-- gone\n\nstill gone -->\n\nc",
         "a b c", 3, 3},
        {"raw tags keep their text", "<div class=\"x\">\ninside <b>bo</b>ld\n</div>\n\nout",
         "inside bold out", 3, 3},
        {"entities between tags", "<p>caf&eacute; &mdash; &#x65E5; &bogus; &amp</p>",
         "caf\xC3\xA9 \xE2\x80\x94 \xE6\x97\xA5 &bogus; &amp", 3, 4},
        {"block tags part words", "<table><tr><td>one</td><td>two</td></tr></table>",
         "one two", 2, 2},
        {"script and style left out", "<script>\nvar hidden = 1;\n</script>\n\n"
                                      "<style>p { x: y }</style>\n\nshown",
         "shown", 1, 1},
        {"table cells", "| h1 | h2 |\n|----|----|\n| a b | c |\n| d|e|", "h1 h2 a b c d e", 7, 7},
        {"list items", "- one\n- two\n  - nested\n1. three", "one two nested three", 4, 4},
        {"block quote", "> quoted\n> lines\n\n>> deep", "quoted lines deep", 3, 3},
        {"strikethrough counts", "~~old~~ new", "old new", 2, 2},
        {"soft and hard breaks part words", "one\ntwo  \nthree\\\nfour", "one two three four",
         4, 4},
        {"entities", "caf&eacute; &amp; &#x65E5;&#26412; &eacute;",
         "caf\xC3\xA9 & \xE6\x97\xA5\xE6\x9C\xAC \xC3\xA9", 1, 4},
        {"unknown entity stays", "&nosuch; x", "&nosuch; x", 2, 2},
        {"lone angle bracket is text", "a < b and <3", "a < b and <3", 4, 4},
        {"byte-order mark", "\xEF\xBB\xBF# Title", "Title", 1, 1},
        {"empty file", "", "", 0, 0},
        {"front matter and nothing else", "---\na: b\n---\n", "", 0, 0},
    };
    for (const ConstructRow& row : rows) {
        SCOPED_TRACE(row.what);
        const QByteArray text = shown(row.markdown);
        EXPECT_EQ(text.trimmed(), row.text);
        EXPECT_EQ(classicCount(text), row.classic);
        EXPECT_EQ(unicodeCount(text), row.unicode);
    }
}

TEST_F(MarkdownTextTest, NamesAndBytesDecideTheKind) {
    const QByteArray prose = "# Title\n\n```\ncode\n```";
    const struct {
        const char* name;
        QByteArray bytes;
        QByteArray text;
    } rows[] = {
        {"a.md", prose, "Title"},
        {"b.MARKDOWN", prose, "Title"},
        {"c.mdown", prose, "Title"},
        {"d.txt", prose, prose},
        {"e.md.txt", prose, prose},
        // Bytes of another kind win over the name.
        {"f.md", "<!DOCTYPE html><html><body><p>Page <code>x</code></p></body></html>",
         "Page x"},
        {"g.md", "{\\rtf1\\ansi Letter {\\b bold}\\par}", "Letter bold"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(shown(row.bytes, row.name).trimmed(), row.text);
    }
}

// A PDF named .md is read as a PDF: this one is no PDF inside, so it cannot be read.
TEST_F(MarkdownTextTest, APdfNamedLikeMarkdownIsReadAsAPdf) {
    const QString path = dir.filePath(QStringLiteral("h.md"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("%PDF-1.4\nnot really a PDF\n");
    f.close();
    DocumentContentSource source;
    EXPECT_FALSE(source.open(path));
    EXPECT_TRUE(source.errorString().startsWith(QStringLiteral("damaged document")));
}

TEST(MarkdownBlocksTest, CutsFallBetweenBlocks) {
    using MarkdownBlocks::lastCut;
    const struct {
        const char* what;
        QByteArray text;
        qsizetype at;
        QByteArray carry;
    } rows[] = {
        {"last blank line", "a\n\nb\n\nc", 6, ""},
        {"not before an indented line", "- a\n\n    b\n\nc", 12, ""},
        {"not before a line still to come", "a\n\nb\n\n", 3, ""},
        {"not inside a fence", "a\n\n```\nx\n\ny\n", 3, ""},
        {"after a closed fence", "```\nx\n\n```\n\nz", 12, ""},
        {"a longer fence is not closed by a shorter", "````\nx\n```\n\ny", 0, ""},
        {"fence in a quote", "> ```\n> x\n>\n> y", 0, ""},
        {"indented code opens no fence", "    ```\n\nb", 9, ""},
        {"not inside a comment", "a\n\n<!-- x\n\ny -->\n", 3, ""},
        {"comment closed on its line", "<!-- x -->\n\nb", 12, ""},
        {"not inside a script", "<SCRIPT>\n\n</script>\n\nb", 21, ""},
        {"a pre tag needs its name to end", "<prefix>\n\nb", 10, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const MarkdownBlocks::Cut cut = lastCut(row.text);
        if (row.at > 0) {
            EXPECT_EQ(cut.at, row.at);
            EXPECT_EQ(cut.carry, row.carry);
        } else {
            EXPECT_FALSE(cut.carry.isEmpty()) << cut.at;  // cut inside: the block goes on
        }
    }
}

TEST(MarkdownBlocksTest, WithoutABlankLineTheCutStillEndsWhole) {
    const struct {
        const char* what;
        QByteArray text;
        qsizetype at;
        QByteArray carry;
    } rows[] = {
        {"inside a fence, at a blank line", "```\nx\n\ny", 7, "```\n"},
        {"inside a comment, at a line end", "<!--\nx\ny", 7, "<!--\n"},
        {"one line: after the last space", "one two three", 8, ""},
        {"one word: before a character cut short", "abc\xC3\xA9\xE6\x97", 5, ""},
        {"one word of whole characters", "abc\xC3\xA9", 5, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const MarkdownBlocks::Cut cut = MarkdownBlocks::lastCut(row.text);
        EXPECT_EQ(cut.at, row.at);
        EXPECT_EQ(cut.carry, row.carry);
    }
}

// A file several pieces long counts as its parts would: no code, comment or word is
// split or let in where a piece ends.
TEST_F(MarkdownTextTest, PiecesCountAsTheWholeWould) {
    const QByteArray section =
        "## Part\n\nSome prose here, five words.\n\n```\ncode line\n\nmore code\n```\n\n"
        "<!-- a\n\ncomment -->\n\n- item one\n\n    still item one\n- item two\n\n";
    const qint64 perSection = 1 + 5 + 2 + 3 + 2;
    const int sections = int(3 * MarkdownTextReader::kPieceSize / section.size());
    QByteArray all;
    all.reserve(section.size() * sections + 4);
    for (int i = 0; i < sections; ++i) {
        all += section;
    }
    // A fence longer than a piece: it is cut inside and goes on as code.
    QByteArray longFence = "```\n";
    while (longFence.size() < MarkdownTextReader::kPieceSize + 1000) {
        longFence += "hidden code\n\n";
    }
    all += longFence + "```\n\nlast word";
    const QByteArray text = shown(all);
    EXPECT_EQ(classicCount(text), perSection * sections + 2);
    EXPECT_EQ(unicodeCount(text), perSection * sections + 2);
    EXPECT_FALSE(text.contains("code"));
    EXPECT_FALSE(text.contains("comment"));
}

// Text made to strain a parser: each is read through in pieces, in time linear in its size,
// and counts what it shows.
TEST_F(MarkdownTextTest, HostileTextIsReadThrough) {
    const qsizetype big = MarkdownTextReader::kPieceSize + 12345;
    const struct {
        const char* what;
        QByteArray markdown;
        qint64 classic;
    } rows[] = {
        {"a word longer than a piece is cut in two", QByteArray(big, 'a'), 2},
        {"one line of words longer than a piece", QByteArray("ab ").repeated(big / 3), big / 3},
        {"emphasis marks that never close", "x " + QByteArray(big, '*'), 1},
        {"brackets that never close", "x " + QByteArray(big, '['), 1},
        {"quotes nested deep", QByteArray(big, '>') + " deep", 1},
        {"lists nested deep", QByteArray("- ").repeated(big / 2) + "deep", 1},
        {"front matter that never closes is text",
         "---\nkey: " + QByteArray("v\n").repeated(big / 2), 1 + big / 2},
        {"a comment longer than a piece", "<!--\n" + QByteArray("x\n\n").repeated(big / 3) +
                                              "-->\nshown", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(classicCount(shown(row.markdown)), row.classic);
    }
}

}  // namespace
}  // namespace quorvane

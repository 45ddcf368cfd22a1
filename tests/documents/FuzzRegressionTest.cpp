#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QString>
#include <QStringDecoder>

#include <cctype>
#include <string>
#include <vector>

#include "documents/DocumentContentSource.h"
#include "tests/SanitizedBuild.h"

namespace quorvane {
namespace {

// The inputs the fuzz targets (tests/fuzz) found a fault with, one small file each (the
// README beside the fixtures says what each shows). Whatever a file holds, reading it
// must end soon with its text or the reason it cannot be read; a crash or a leak shows
// under the sanitizers.
QString inputFolder() {
    return QFileInfo(QString::fromUtf8(__FILE__)).absolutePath() + QStringLiteral("/../data/documents/fuzz");
}

std::vector<std::string> inputNames() {
    std::vector<std::string> names;
    const QStringList files = QDir(inputFolder()).entryList(QDir::Files, QDir::Name);
    for (const QString& file : files) {
        names.push_back(file.toStdString());
    }
    return names;
}

constexpr qint64 kMostMilliseconds = 2000;  // the fuzzers' bound per input

class FuzzRegressionTest : public ::testing::TestWithParam<std::string> {};

TEST_P(FuzzRegressionTest, EndsSoonWithTextOrAReason) {
    if (!DocumentContentSource::readsDocuments()) {
        GTEST_SKIP() << "built without the document libraries";
    }
    const QString path = inputFolder() + u'/' + QString::fromStdString(GetParam());
    QElapsedTimer timer;
    timer.start();
    DocumentContentSource source;
    QByteArray text;
    bool ended = false;
    if (source.open(path)) {
        QByteArray buffer(64 * 1024, '\0');
        qint64 got = 0;
        while ((got = source.read(buffer.data(), buffer.size())) > 0) {
            text.append(buffer.constData(), got);
        }
        ended = got == 0;
    }
    const qint64 took = timer.elapsed();
    if (!test::kSanitized) {
        EXPECT_LT(took, kMostMilliseconds);
    }
    if (!ended) {
        EXPECT_FALSE(source.errorString().isEmpty()) << "failed without a reason";
    } else if (!source.canReadAt()) {
        // A document's text goes to counters that decode it: it must be whole UTF-8.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = utf8.decode(text);
        EXPECT_FALSE(utf8.hasError()) << "the text is not UTF-8";
    }
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzRegressionTest, ::testing::ValuesIn(inputNames()), testName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FuzzRegressionTest);

}  // namespace
}  // namespace quorvane

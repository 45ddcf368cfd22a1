#include "QuorvaneVersion.h"
#include "about/VersionRecord.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

struct RecordCase {
    const char* name;
    VersionRecord record;
    QString versionLine;
    QString title;
};

class AboutTextsTest : public ::testing::TestWithParam<RecordCase> {};

TEST_P(AboutTextsTest, BuildsTheTextsFromTheRecord) {
    const RecordCase& c = GetParam();
    const AboutTexts texts = AboutTexts::build(c.record);
    EXPECT_EQ(texts.versionLine, c.versionLine);
    EXPECT_EQ(texts.info, c.record.fileDescription);
    EXPECT_EQ(texts.copyright, c.record.legalCopyright);
    EXPECT_EQ(windowTitle(c.record), c.title);
    // Built anew each time, and the same each time.
    EXPECT_EQ(AboutTexts::build(c.record).versionLine, texts.versionLine);
}

INSTANTIATE_TEST_SUITE_P(
    Records, AboutTextsTest,
    ::testing::Values(RecordCase{"v1_0_0",
                                 {1, 0, 0, "Counts words.", "Free to pass on."},
                                 "Copyright (C) 2026 Plumwick. Version: 1.0.0",
                                 "Plumwick Quorvane Version: 1.0.0"},
                      RecordCase{"v1_12_3",
                                 {1, 12, 3, "Another description.", "Other terms."},
                                 "Copyright (C) 2026 Plumwick. Version: 1.12.3",
                                 "Plumwick Quorvane Version: 1.12.3"},
                      RecordCase{"wide_numbers",
                                 {32767, 100, 10, "", ""},
                                 "Copyright (C) 2026 Plumwick. Version: 32767.100.10",
                                 "Plumwick Quorvane Version: 32767.100.10"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VersionRecordTest, CurrentComesFromTheBuildsVersionHeader) {
    const VersionRecord record = VersionRecord::current();
    EXPECT_EQ(record.versionText(), QString::fromUtf8(version::kText));
    EXPECT_EQ(record.fileDescription, QString::fromUtf8(version::kFileDescription));
    EXPECT_EQ(record.legalCopyright, QString::fromUtf8(version::kLegalCopyright));
    EXPECT_FALSE(record.fileDescription.isEmpty());
    EXPECT_FALSE(record.legalCopyright.isEmpty());
}

}  // namespace
}  // namespace quorvane

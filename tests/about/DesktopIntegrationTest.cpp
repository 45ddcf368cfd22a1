#include "QuorvaneVersion.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace quorvane {
namespace {

QString runTool(const QString& program, const QStringList& arguments, int* exitCode) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        *exitCode = -1;
        return process.errorString();
    }
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll());
}

TEST(DesktopEntry, PassesDesktopFileValidate) {
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty()) {
        GTEST_SKIP() << "desktop-file-validate not found; install desktop-file-utils";
    }
    int exitCode = 0;
    const QString output =
        runTool(validator, {QStringLiteral(QUORVANE_DATA_DIR "/quorvane.desktop")}, &exitCode);
    EXPECT_EQ(exitCode, 0) << output.toStdString();
    EXPECT_TRUE(output.trimmed().isEmpty()) << output.toStdString();
}

struct InstalledFile {
    const char* path;  // under the data folder of the prefix
    int iconSize;      // 0: not a bitmap
};

class DesktopInstall : public ::testing::TestWithParam<InstalledFile> {
protected:
    static void SetUpTestSuite() {
        prefix_ = new QTemporaryDir;
        ASSERT_TRUE(prefix_->isValid());
        int exitCode = 0;
        const QString output = runTool(QStringLiteral(QUORVANE_CMAKE_COMMAND),
                                       {"--install", QUORVANE_BINARY_DIR, "--component", "desktop",
                                        "--prefix", prefix_->path()},
                                       &exitCode);
        ASSERT_EQ(exitCode, 0) << output.toStdString();
    }
    static void TearDownTestSuite() {
        delete prefix_;
        prefix_ = nullptr;
    }
    static QTemporaryDir* prefix_;
};

QTemporaryDir* DesktopInstall::prefix_ = nullptr;

TEST_P(DesktopInstall, PutsTheFileWhereDesktopsLook) {
    ASSERT_NE(prefix_, nullptr);
    const QString path = prefix_->filePath(QStringLiteral(QUORVANE_INSTALL_DATADIR "/") +
                                           QString::fromUtf8(GetParam().path));
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
    if (GetParam().iconSize > 0) {
        const QImage icon(path);
        EXPECT_EQ(icon.size(), QSize(GetParam().iconSize, GetParam().iconSize));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, DesktopInstall,
    ::testing::Values(InstalledFile{"applications/quorvane.desktop", 0},
                      InstalledFile{"icons/hicolor/16x16/apps/quorvane.png", 16},
                      InstalledFile{"icons/hicolor/32x32/apps/quorvane.png", 32},
                      InstalledFile{"icons/hicolor/48x48/apps/quorvane.png", 48},
                      InstalledFile{"icons/hicolor/128x128/apps/quorvane.png", 128},
                      InstalledFile{"icons/hicolor/scalable/apps/quorvane.svg", 0}));

struct ResourceValue {
    const char* key;
    QString value;
};

class VersionResource : public ::testing::TestWithParam<ResourceValue> {};

// The Windows version resource is configured on every platform so that it can be read here.
TEST_P(VersionResource, CarriesTheVersionRecord) {
    QFile rc(QStringLiteral(QUORVANE_VERSION_RC));
    ASSERT_TRUE(rc.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(rc.readAll());
    const QString line = QStringLiteral("VALUE \"%1\", \"%2\"")
                             .arg(QString::fromUtf8(GetParam().key), GetParam().value);
    EXPECT_TRUE(text.contains(line)) << line.toStdString();
    const QString numbers = QStringLiteral("FILEVERSION %1,%2,%3,0")
                                .arg(version::kMajor)
                                .arg(version::kMinor)
                                .arg(version::kRevision);
    EXPECT_TRUE(text.contains(numbers)) << numbers.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Values, VersionResource,
    ::testing::Values(ResourceValue{"FileVersion", version::kText},
                      ResourceValue{"FileDescription", version::kFileDescription},
                      ResourceValue{"LegalCopyright", version::kLegalCopyright},
                      ResourceValue{"ProductName", version::kProductName}));

}  // namespace
}  // namespace quorvane

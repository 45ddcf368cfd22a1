#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/DriveList.h"
#include "platform/FileName.h"
#include "window/DirListBox.h"
#include "window/DriveListBox.h"
#include "window/FileListBox.h"

namespace quorvane {

namespace {

// A name as the system hands it over, bytes that do not decode held.
QString held(const char* bytes) {
    return FileName::fromNative(QByteArray(bytes));
}

// Latin-1 names on a UTF-8 system, made by their bytes.
const char* const kLatinFolder = "T/d\xe9j\xe0";
const char* const kLatinInner = "T/d\xe9j\xe0/in\xff";
const char* const kLatinFiles[] = {"T/d\xe9j\xe0/caf\xe9.txt", "T/d\xe9j\xe0/plain.txt"};

}  // namespace

class ListControlsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void dirListSetPath_data();
    void dirListSetPath();
    void dirListShowsAncestorsThenSubfolders();
    void dirListOpensByEnterAndDoubleClick();
    void fileList_data();
    void fileList();
    void foldersHoldingBytesOpenAndShowReadably();
    void driveListFollowsTheMountTable_data();
    void driveListFollowsTheMountTable();

private:
    // A mount table of the tree's folders ("/" for the root), as the kernel writes one.
    void writeMounts(const QString& table, const QStringList& points) const;
    QString at(const QString& relative) const { return QDir::cleanPath(tree_->filePath(relative)); }
    QByteArray native(const char* relative) const {
        return QFile::encodeName(tree_->path()) + '/' + relative;
    }
    std::unique_ptr<QTemporaryDir> tree_;
};

void ListControlsTest::init() {
    tree_ = std::make_unique<QTemporaryDir>();
    for (const char* folder : {"T/b", "T/A", "T/.hidden", "T/c d", "T/b/inner"}) {
        QVERIFY(QDir().mkpath(at(folder)));
    }
    for (const char* file : {"T/one.txt", "T/Two.TXT", "T/three.doc", "T/.secret.txt"}) {
        QFile out(at(file));
        QVERIFY(out.open(QIODevice::WriteOnly));
    }
    QCOMPARE(::mkdir(native(kLatinFolder).constData(), 0755), 0);
    QCOMPARE(::mkdir(native(kLatinInner).constData(), 0755), 0);
    for (const char* file : kLatinFiles) {
        const int fd = ::open(native(file).constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
    }
}

// QTemporaryDir removes by decoded names and would leave these behind.
void ListControlsTest::cleanup() {
    for (const char* file : kLatinFiles) {
        ::unlink(native(file).constData());
    }
    ::rmdir(native(kLatinInner).constData());
    ::rmdir(native(kLatinFolder).constData());
    tree_.reset();
}

void ListControlsTest::dirListSetPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("shown");  // the open folder afterwards
    QTest::addColumn<int>("changes");

    QTest::newRow("another folder") << "T/b" << true << "T/b" << 1;
    QTest::newRow("the open folder again") << "T" << true << "T" << 0;
    QTest::newRow("the open folder, spelt otherwise") << "T/b/../" << true << "T" << 0;
    QTest::newRow("missing folder") << "T/gone" << false << "T" << 0;
    QTest::newRow("a file") << "T/one.txt" << false << "T" << 0;
    QTest::newRow("empty text") << "" << false << "T" << 0;
    QTest::newRow("folder named in bytes outside the encoding")
        << held(kLatinFolder) << true << held(kLatinFolder) << 1;
    QTest::newRow("that folder, spelt otherwise")
        << held(kLatinInner) + "/.." << true << held(kLatinFolder) << 1;
    QTest::newRow("that folder by its shown name")
        << FileName::display(held(kLatinFolder)) << false << "T" << 0;
}

void ListControlsTest::dirListSetPath() {
    QFETCH(QString, path);
    QFETCH(bool, ok);
    QFETCH(QString, shown);
    QFETCH(int, changes);

    DirListBox list;
    QVERIFY(list.setPath(at("T")));
    QSignalSpy spy(&list, &DirListBox::pathChanged);
    QCOMPARE(list.setPath(path.isEmpty() ? QString() : tree_->filePath(path)), ok);
    QCOMPARE(list.path(), at(shown));
    QCOMPARE(spy.count(), changes);
}

void ListControlsTest::dirListShowsAncestorsThenSubfolders() {
    DirListBox list;
    QVERIFY(list.setPath(at("T")));
    QStringList paths;
    QStringList texts;
    for (int row = 0; row < list.count(); ++row) {
        paths << DirListBox::pathOf(list.item(row));
        texts << list.item(row)->text();
    }
    const int open = list.row(list.openItem());
    QCOMPARE(paths.first(), QDir::rootPath());
    QCOMPARE(paths.at(open), at("T"));
    QCOMPARE(texts.at(open), QStringLiteral("T"));
    QVERIFY(list.openItem()->font().bold());
    for (int row = 1; row <= open; ++row) {
        QCOMPARE(QFileInfo(paths.at(row)).absolutePath(), paths.at(row - 1));
    }
    // Hidden folders are left out; the others sorted without regard to case. A name holding
    // bytes is shown readably and its entry keeps the bytes.
    QCOMPARE(texts.mid(open + 1),
             (QStringList{"A", "b", "c d", QString::fromUtf8("d\uFFFDj\uFFFD")}));
    QCOMPARE(paths.last(), at(held(kLatinFolder)));
    QCOMPARE(list.currentItem(), list.openItem());
}

void ListControlsTest::dirListOpensByEnterAndDoubleClick() {
    DirListBox list;
    QVERIFY(list.setPath(at("T")));
    list.setCurrentItem(list.findItems("b", Qt::MatchExactly).first());
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(list.path(), at("T/b"));

    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QListWidgetItem* parent = list.item(list.row(list.openItem()) - 1);
    const QPoint spot = list.visualItemRect(parent).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, spot);
    QCOMPARE(list.path(), at("T/b"));  // a single click only selects
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, spot);
    QCOMPARE(list.path(), at("T"));

    // A subfolder removed since the list was filled: nothing opens, the list catches up.
    QVERIFY(QDir(at("T/A")).removeRecursively());
    list.setCurrentItem(list.findItems("A", Qt::MatchExactly).first());
    QTest::keyClick(&list, Qt::Key_Enter);
    QCOMPARE(list.path(), at("T"));
    QVERIFY(list.findItems("A", Qt::MatchExactly).isEmpty());
}

void ListControlsTest::fileList_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("all files, hidden left out")
        << "T"
        << "*.*" << QStringList{"one.txt", "three.doc", "Two.TXT"};
    QTest::newRow("pattern without regard to case") << "T"
                                                    << "*.txt" << QStringList{"one.txt", "Two.TXT"};
    QTest::newRow("pattern matching nothing") << "T"
                                              << "*.zzz" << QStringList{};
    QTest::newRow("folder that cannot be read") << "T/gone"
                                                << "*.*" << QStringList{};
    QTest::newRow("folder named in bytes outside the encoding")
        << held(kLatinFolder) << "*.*" << QStringList{held("caf\xe9.txt"), "plain.txt"};
    QTest::newRow("its files by pattern")
        << held(kLatinFolder) << "caf?.*" << QStringList{held("caf\xe9.txt")};
}

void ListControlsTest::fileList() {
    QFETCH(QString, folder);
    QFETCH(QString, pattern);
    QFETCH(QStringList, names);

    FileListBox list;
    QSignalSpy listings(&list, &FileListBox::refreshed);
    list.setPattern(pattern);
    QCOMPARE(listings.count(), 0);  // a pattern waits for the next listing
    list.setPath(at(folder));
    QCOMPARE(listings.count(), 1);
    QCOMPARE(list.names(), names);
    QCOMPARE(list.count(), names.size());
    for (int row = 0; row < list.count(); ++row) {
        QCOMPARE(list.textAt(row), FileName::display(names.at(row)));
    }
}

// The shown names read with U+FFFD; the paths behind them keep the bytes, so the folder
// opens from its entry and its files list.
void ListControlsTest::foldersHoldingBytesOpenAndShowReadably() {
    DirListBox folders;
    QVERIFY(folders.setPath(at(held(kLatinFolder))));
    QCOMPARE(folders.openItem()->text(), QString::fromUtf8("d\uFFFDj\uFFFD"));
    QCOMPARE(DirListBox::pathOf(folders.openItem()), at(held(kLatinFolder)));
    QCOMPARE(DirListBox::pathOf(folders.item(folders.row(folders.openItem()) - 1)), at("T"));
    const QList<QListWidgetItem*> inner =
        folders.findItems(QString::fromUtf8("in\uFFFD"), Qt::MatchExactly);
    QCOMPARE(inner.size(), 1);
    QCOMPARE(DirListBox::pathOf(inner.first()), at(held(kLatinInner)));

    folders.setCurrentItem(inner.first());
    QTest::keyClick(&folders, Qt::Key_Return);
    QCOMPARE(folders.path(), at(held(kLatinInner)));
    QCOMPARE(folders.openItem()->text(), QString::fromUtf8("in\uFFFD"));
    QCOMPARE(FileName::toNative(folders.path()), native(kLatinInner));

    folders.setCurrentItem(folders.item(folders.row(folders.openItem()) - 1));
    QTest::keyClick(&folders, Qt::Key_Return);
    QCOMPARE(folders.path(), at(held(kLatinFolder)));
    FileListBox files;
    files.setPath(folders.path());
    QCOMPARE(files.names(), (QStringList{held("caf\xe9.txt"), "plain.txt"}));
    QCOMPARE(files.textAt(0), QString::fromUtf8("caf\uFFFD.txt"));
}

void ListControlsTest::writeMounts(const QString& table, const QStringList& points) const {
    QFile out(table);
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (const QString& point : points) {
        const bool layer = point.startsWith("overlay:");
        const QString folder = layer ? point.mid(8) : point;
        const QString path = folder == "/" ? folder : at(folder);
        out.write(QStringLiteral("/dev/sdz1 %1 %2 rw 0 0\n")
                      .arg(QString(path).replace(' ', "\\040"), layer ? "overlay" : "ext4")
                      .toUtf8());
    }
}

void ListControlsTest::driveListFollowsTheMountTable_data() {
    QTest::addColumn<QString>("select");       // "": nothing selected
    QTest::addColumn<QStringList>("mounted");  // the table afterwards
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<int>("driveChanges");

    // Before: "/", T/A and T/b are mounted.
    // clang-format off
    QTest::newRow("a drive comes, the selection stays")
        << "T/b" << QStringList{"/", "T/A", "T/b", "T/c d"}
        << QStringList{"/", "T/A", "T/b", "T/c d"} << "T/b" << 0;
    QTest::newRow("another drive goes, the selection stays")
        << "T/b" << QStringList{"/", "T/b"} << QStringList{"/", "T/b"} << "T/b" << 0;
    QTest::newRow("the selected drive goes: the drive that holds its folder")
        << "T/b" << QStringList{"/", "T/A"} << QStringList{"/", "T/A"} << "/" << 1;
    QTest::newRow("inside another drive: that drive")
        << "T/b/inner" << QStringList{"/", "T/A", "T/b"} << QStringList{"/", "T/A", "T/b"}
        << "T/b" << 0;
    QTest::newRow("a container layer is no drive and changes nothing")
        << "T/A" << QStringList{"/", "T/A", "T/b", "overlay:T/c d"}
        << QStringList{"/", "T/A", "T/b"} << "T/A" << 0;
    QTest::newRow("nothing selected stays so")
        << "" << QStringList{"/", "T/b"} << QStringList{"/", "T/b"} << "" << 0;
    // clang-format on
}

void ListControlsTest::driveListFollowsTheMountTable() {
    QFETCH(QString, select);
    QFETCH(QStringList, mounted);
    QFETCH(QStringList, listed);
    QFETCH(QString, selected);
    QFETCH(int, driveChanges);

    const QString table = at("mounts");
    writeMounts(table, {"/", "T/A", "T/b"});
    // The box reads the table again when its watcher tells it: counting the reads tells
    // when it has, even where what it lists stays the same.
    struct CountedDrives : MountedDrives {
        using MountedDrives::MountedDrives;
        QStringList drives() const override {
            ++reads;
            return MountedDrives::drives();
        }
        mutable int reads = 0;
    };
    const CountedDrives drives(table);
    DriveListBox box(drives);
    QCOMPARE(box.count(), 3);
    if (!select.isEmpty()) {
        QVERIFY(box.setDrive(at(select)));
    }
    QSignalSpy changes(&box, &DriveListBox::driveChanged);
    const auto shown = [&box, this] {
        QStringList drives;
        for (int i = 0; i < box.count(); ++i) {
            const QString drive = box.itemData(i).toString();
            drives << (drive == "/" ? drive : QDir(tree_->path()).relativeFilePath(drive));
        }
        return drives;
    };
    const int readsBefore = drives.reads;

    writeMounts(table, mounted);
    QTRY_VERIFY(drives.reads > readsBefore);
    QTRY_COMPARE(shown(), listed);
    QCOMPARE(box.drive(), selected.isEmpty() || selected == "/" ? selected : at(selected));
    QCOMPARE(changes.count(), driveChanges);
}

}  // namespace quorvane

QTEST_MAIN(quorvane::ListControlsTest)
#include "ListControlsTest.moc"

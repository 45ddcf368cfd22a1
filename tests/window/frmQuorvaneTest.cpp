#include "window/frmQuorvane.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "about/LinkLabel.h"
#include "about/modpublic.h"
#include "platform/DesktopOpener.h"
#include "platform/DriveList.h"
#include "platform/MessageBox.h"
#include "platform/ProgramStarter.h"
#include "platform/SystemError.h"
#include "tests/ManualClock.h"
#include "window/DirListBox.h"
#include "window/DriveListBox.h"
#include "window/FileListBox.h"
#include "window/StateCheckBox.h"

namespace quorvane {

namespace {

struct RecordingMessages : MessageBox {
    void show(const QString& text, const QString& title) override { shown << title + "|" + text; }
    QStringList shown;
};

struct RecordingStarter : ProgramStarter {
    bool startCommandLine(const QString&, int) override { return true; }
    bool startProgram(const QString&, const QStringList&) override { return true; }
    bool startEditor(const QString& path) override {
        editorCalls << path;
        return true;
    }
    QStringList editorCalls;
};

struct RecordingOpener : DesktopOpener {
    bool open(const QString& operation, const QString& target, const QString&, const QString&,
              int showCommand) override {
        opened << QStringLiteral("%1 %2 %3").arg(operation, target).arg(showCommand);
        return true;
    }
    QStringList opened;
};

// Two drives that are folders of a temporary tree; a drive can be made not ready.
struct TwoDrives : DriveList {
    QStringList drives() const override { return list; }
    bool isReady(const QString& drive) const override {
        return drive != notReady && DriveList::isReady(drive);
    }
    QStringList list;
    QString notReady;
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void seedStore(const QStringList& entries) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Harvex", "Harvex");
    store.clear();
    for (const QString& entry : entries) {
        const qsizetype at = entry.indexOf('=');
        store.setValue(entry.left(at), entry.mid(at + 1));
    }
    store.sync();
}

// "key=value" for every key of a section, sorted by key.
QStringList storedSection(const QString& section) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Harvex", "Harvex");
    store.beginGroup(section);
    QStringList entries;
    for (const QString& key : store.childKeys()) {
        entries << key + "=" + store.value(key).toString();
    }
    entries.sort();
    return entries;
}

// A control of the window, found by its name as it is known to the user's tools.
template <typename T>
T* control(const QObject& window, const QString& name) {
    T* found = window.findChild<T*>(name);
    if (found == nullptr) {
        qFatal("no control %s of type %s", qPrintable(name), T::staticMetaObject.className());
    }
    return found;
}

// A temporary tree with the drives "A" and "B", the program started in A/start, the
// store seeded (or replaced by raw bytes), and the window built on top.
struct Rig {
    explicit Rig(const QStringList& store = {}, const QString& notReady = {},
                 const QByteArray& rawStore = {}) {
        for (const char* file : {"A/start/a.doc", "A/start/b.txt", "A/other/c.doc", "A/other/d.txt",
                                 "B/deep/e.doc", "B/f.doc"}) {
            writeFile(at(file), "one two");
        }
        QDir().mkpath(at("A/start/sub"));
        drives.list = {at("A"), at("B")};
        drives.notReady = notReady.isEmpty() ? QString() : at(notReady);
        seedStore(resolve(store));
        if (!rawStore.isEmpty()) {
            writeFile(SettingsStore::location("Harvex"), rawStore);
        }
        QDir::setCurrent(at("A/start"));
        Services services{&messages, &starter, &drives,
                          [this](const char* handler) { trace << handler; }, &opener,
                          &clock, [this](qint64 filesDone) {
                              if (onCountProgress) {
                                  onCountProgress(filesDone);
                              }
                          }};
        window = std::make_unique<frmQuorvane>(services);
        QObject::connect(File1(), &FileListBox::refreshed, [this] {
            listings << File1()->pattern() + ":" + File1()->names().join(',');
        });
    }
    ~Rig() { QDir::setCurrent(QDir::tempPath()); }

    QString at(const QString& relative) const {
        return relative.isEmpty() ? QString() : QDir::cleanPath(root.filePath(relative));
    }
    // "@" in seeded values stands for the tree's root.
    QStringList resolve(QStringList entries) const {
        entries.replaceInStrings("@", root.path() + "/");
        return entries;
    }
    template <typename T>
    T* find(const QString& name) const {
        return control<T>(*window, name);
    }
    DriveListBox* Drive1() const { return find<DriveListBox>("Drive1"); }
    DirListBox* Dir1() const { return find<DirListBox>("Dir1"); }
    FileListBox* File1() const { return find<FileListBox>("File1"); }
    QComboBox* cmbkey() const { return find<QComboBox>("cmbkey"); }
    QPushButton* cmdcountwords() const { return find<QPushButton>("cmdcountwords"); }
    StateCheckBox* box(const QString& name) const { return find<StateCheckBox>(name); }
    QRadioButton* optcase(int index) const {
        return find<QRadioButton>(QStringLiteral("optcase_%1").arg(index));
    }
    QTimer* Timer1() const { return find<QTimer>("Timer1"); }
    QLabel* label(const QString& name) const { return find<QLabel>(name); }
    QGroupBox* frame(const QString& name) const { return find<QGroupBox>(name); }
    QAction* menu(const QString& name) const { return find<QAction>(name); }

    // A folder A/run of two files, opened and listed with "*.*", ready to count.
    bool openRunFolder() {
        writeFile(at("A/run/a.doc"), "one two");
        writeFile(at("A/run/b_c-d.txt"), "alpha beta gamma");
        if (!Dir1()->setPath(at("A/run"))) {
            return false;
        }
        cmbkey()->setCurrentIndex(0);  // "*.*"
        window->cmbkey_Click();
        return true;
    }

    QStringList handlers(const QStringList& names) const {
        QStringList picked;
        for (const QString& handler : trace) {
            if (names.contains(handler)) {
                picked << handler;
            }
        }
        return picked;
    }

    QTemporaryDir root;
    RecordingMessages messages;
    RecordingStarter starter;
    RecordingOpener opener;
    TwoDrives drives;
    // Stands still: the window sees a change made to its store by another program only
    // once a test moves it on.
    test::ManualClock clock;
    QStringList trace;
    QStringList listings;
    std::function<void(qint64 filesDone)> onCountProgress;
    std::unique_ptr<frmQuorvane> window;
};

const QStringList kFolderHandlers = {"Dir1_Change", "Drive1_Change"};

}  // namespace

class frmQuorvaneTest : public QObject {
    Q_OBJECT
private slots:
    void startupRestoresOptions_data();
    void startupRestoresOptions();
    void garbledStoreStillStarts();
    void startupRestoresFolder_data();
    void startupRestoresFolder();
    void pickingADrive_data();
    void pickingADrive();
    void comboKeepsTheFileListInStep_data();
    void comboKeepsTheFileListInStep();
    void clicksStoreOptionsAtOnce();
    void optionsMenuRestored_data();
    void optionsMenuRestored();
    void optionsMenuStoresEachToggleOnce();
    void countWordsUsesTheWordRule_data();
    void countWordsUsesTheWordRule();
    void countWordsRun_data();
    void countWordsRun();
    void letterCaseChangedDuringARun_data();
    void letterCaseChangedDuringARun();
    void boxStatesShapeTheReport_data();
    void boxStatesShapeTheReport();
    void closingMessage_data();
    void closingMessage();
    void closingDuringARunCancelsIt();
    void closingEndsARunStuckInADocumentReader();
    void panels_data();
    void panels();
    void link();
    void captions_data();
    void captions();
    void layout();
    void tabStopsAtTheSelectedCaseButton_data();
    void tabStopsAtTheSelectedCaseButton();
    void menuBarByKeyboard_data();
    void menuBarByKeyboard();
    void accessibleNames_data();
    void accessibleNames();
    void busyStripShowsItsFocus();
    void captionsFit_data();
    void captionsFit();
    void designedFontWhenInstalled();
};

void frmQuorvaneTest::startupRestoresOptions_data() {
    QTest::addColumn<QStringList>("store");
    // shellnotepad, numberedlist, datecreated, chkremext, chkremunderscore, chkremhyphen
    QTest::addColumn<QList<int>>("boxes");
    QTest::addColumn<int>("caseButton");  // -1: none selected
    QTest::addColumn<QStringList>("program");

    QTest::newRow("empty store") << QStringList{} << QList<int>{0, 0, 0, 0, 0, 0} << 0
                                 << QStringList{"OptCaseInteger=0"};
    QTest::newRow("numbered list checked")
        << QStringList{"program/numberedlist=1"} << QList<int>{0, 1, 0, 0, 0, 0} << 0
        << QStringList{"OptCaseInteger=0", "numberedlist=1"};
    QTest::newRow("date created greyed")
        << QStringList{"program/datecreated=2"} << QList<int>{0, 0, 2, 0, 0, 0} << 0
        << QStringList{"OptCaseInteger=0", "datecreated=2"};
    QTest::newRow("not a number, later keys still restored")
        << QStringList{"program/chkremext=abc", "program/chkremhyphen=1"}
        << QList<int>{0, 0, 0, 0, 0, 1} << 0
        << QStringList{"OptCaseInteger=0", "chkremext=abc", "chkremhyphen=1"};
    QTest::newRow("state the box rejects")
        << QStringList{"program/shellnotepad=7"} << QList<int>{0, 0, 0, 0, 0, 0} << 0
        << QStringList{"OptCaseInteger=0", "shellnotepad=7"};
    // 0.5 rounds to the state the box already has: no change, so nothing is written back.
    QTest::newRow("blanks and fraction, half to even")
        << QStringList{"program/chkremunderscore= 1.5 ", "program/shellnotepad=0.5"}
        << QList<int>{0, 0, 0, 0, 2, 0} << 0
        << QStringList{"OptCaseInteger=0", "chkremunderscore=2", "shellnotepad=0.5"};
    QTest::newRow("empty value counts as absent")
        << QStringList{"program/numberedlist="} << QList<int>{0, 0, 0, 0, 0, 0} << 0
        << QStringList{"OptCaseInteger=0", "numberedlist="};
    QTest::newRow("case 2") << QStringList{"program/OptCaseInteger=2"}
                            << QList<int>{0, 0, 0, 0, 0, 0} << 2 << QStringList{"OptCaseInteger=2"};
    QTest::newRow("case not a number")
        << QStringList{"program/OptCaseInteger=abc"} << QList<int>{0, 0, 0, 0, 0, 0} << 0
        << QStringList{"OptCaseInteger=0"};
    QTest::newRow("case without a button")
        << QStringList{"program/OptCaseInteger=9", "program/chknumlist=1"}
        << QList<int>{0, 0, 0, 0, 0, 0} << -1 << QStringList{"OptCaseInteger=9", "chknumlist=1"};
    QTest::newRow("case rounds to a missing button")
        << QStringList{"program/OptCaseInteger=3.5"} << QList<int>{0, 0, 0, 0, 0, 0} << -1
        << QStringList{"OptCaseInteger=3.5"};
    QTest::newRow("case empty") << QStringList{"program/OptCaseInteger="}
                                << QList<int>{0, 0, 0, 0, 0, 0} << 0
                                << QStringList{"OptCaseInteger=0"};
    QTest::newRow("stored folder gone, options still restored")
        << QStringList{"paths/browsepath=@gone", "program/chkremext=1", "program/OptCaseInteger=3"}
        << QList<int>{0, 0, 0, 1, 0, 0} << 3 << QStringList{"OptCaseInteger=3", "chkremext=1"};
}

void frmQuorvaneTest::startupRestoresOptions() {
    QFETCH(QStringList, store);
    QFETCH(QList<int>, boxes);
    QFETCH(int, caseButton);
    QFETCH(QStringList, program);

    Rig rig(store);
    QList<int> states;
    for (const char* name : {"chkshelltopad", "chknumlist", "chkdatecreated", "chkremext",
                             "chkremunderscore", "chkremhyphen"}) {
        states << rig.box(name)->value();
    }
    QCOMPARE(states, boxes);
    int selected = -1;
    for (int i = 0; i < 4; ++i) {
        selected = rig.optcase(i)->isChecked() ? i : selected;
    }
    QCOMPARE(selected, caseButton);
    QCOMPARE(storedSection("program"), program);
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("Plumwick Quorvane Version: 1.0.0"));
    QVERIFY(!rig.frame("framecountwords")->isHidden());
    QVERIFY(rig.frame("frameabout")->isHidden());
    QCOMPARE(rig.frame("framecountwords")->pos(), QPoint(0, 0));
}

void frmQuorvaneTest::garbledStoreStillStarts() {
    Rig rig({}, {}, QByteArray("\x00\xff[[[program\nnumberedlist\n=\x01\n=1\n", 32));
    QCOMPARE(rig.box("chknumlist")->value(), short(0));
    QVERIFY(rig.optcase(0)->isChecked());
}

void frmQuorvaneTest::startupRestoresFolder_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("dir1");
    QTest::addColumn<QString>("drive1");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("browsepath");  // "-": not stored
    QTest::addColumn<QStringList>("handlers");

    // clang-format off
    QTest::newRow("nothing stored")
        << "" << "A/start" << "A" << QStringList{"a.doc", "b.txt"} << "-" << QStringList{};
    QTest::newRow("folder on the selected drive")
        << "A/other" << "A/other" << "A" << QStringList{"c.doc"} << "A/other"
        << QStringList{"Dir1_Change"};
    // The drive change inside Dir1_Change must not send the folder list back to the other
    // drive's root: the stored folder is what the user sees and what stays stored.
    QTest::newRow("folder on the other drive")
        << "B/deep" << "B/deep" << "B" << QStringList{"e.doc"} << "B/deep"
        << QStringList{"Dir1_Change", "Drive1_Change"};
    QTest::newRow("folder no longer exists")
        << "A/gone" << "A/start" << "A" << QStringList{"a.doc", "b.txt"} << "A/gone"
        << QStringList{};
    // clang-format on
}

void frmQuorvaneTest::startupRestoresFolder() {
    QFETCH(QString, stored);
    QFETCH(QString, dir1);
    QFETCH(QString, drive1);
    QFETCH(QStringList, files);
    QFETCH(QString, browsepath);
    QFETCH(QStringList, handlers);

    Rig rig(stored.isEmpty() ? QStringList{} : QStringList{"paths/browsepath=@" + stored});
    QCOMPARE(rig.Dir1()->path(), rig.at(dir1));
    QCOMPARE(rig.Drive1()->drive(), rig.at(drive1));
    QCOMPARE(rig.File1()->path(), rig.at(dir1));
    QCOMPARE(rig.File1()->names(), files);
    QCOMPARE(storedSection("paths"),
             browsepath == "-" ? QStringList{} : QStringList{"browsepath=" + rig.at(browsepath)});
    QCOMPARE(rig.handlers(kFolderHandlers), handlers);
}

void frmQuorvaneTest::pickingADrive_data() {
    QTest::addColumn<QString>("notReady");
    QTest::addColumn<QString>("openFirst");    // opened before the pick, ";" between them
    QTest::addColumn<QString>("removeFirst");  // deleted after those were opened
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QString>("dir1");
    QTest::addColumn<QStringList>("handlers");

    // clang-format off
    QTest::newRow("other drive opens at its root")
        << "" << "" << "" << "B" << "B" << QStringList{"Drive1_Change", "Dir1_Change"};
    QTest::newRow("back to the folder last opened on a drive")
        << "" << "A/other;B/deep" << "" << "A" << "A/other"
        << QStringList{"Drive1_Change", "Dir1_Change"};
    // A remembered folder that is gone is passed over for what the drive itself opens in:
    // the folder the program started in when it lies on the drive, else the drive's root.
    QTest::newRow("folder last opened deleted, back to where the program started")
        << "" << "A/other;B/deep" << "A/other" << "A" << "A/start"
        << QStringList{"Drive1_Change", "Dir1_Change"};
    QTest::newRow("folder last opened deleted, drive opens at its root")
        << "" << "B/deep;A/other" << "B/deep" << "B" << "B"
        << QStringList{"Drive1_Change", "Dir1_Change"};
    QTest::newRow("drive not ready leaves the lists")
        << "B" << "" << "" << "B" << "A/start" << QStringList{"Drive1_Change"};
    QTest::newRow("selected drive again raises nothing")
        << "" << "" << "" << "A" << "A/start" << QStringList{};
    // clang-format on
}

void frmQuorvaneTest::pickingADrive() {
    QFETCH(QString, notReady);
    QFETCH(QString, openFirst);
    QFETCH(QString, removeFirst);
    QFETCH(QString, pick);
    QFETCH(QString, dir1);
    QFETCH(QStringList, handlers);

    Rig rig({}, notReady);
    for (const QString& folder : openFirst.split(';', Qt::SkipEmptyParts)) {
        QVERIFY(rig.Dir1()->setPath(rig.at(folder)));
    }
    if (!removeFirst.isEmpty()) {
        QVERIFY(QDir(rig.at(removeFirst)).removeRecursively());
    }
    const QStringList storedBefore = storedSection("paths");
    rig.trace.clear();
    rig.Drive1()->setCurrentIndex(rig.Drive1()->findText(rig.at(pick)));  // as the user picks it

    QCOMPARE(rig.Drive1()->drive(), rig.at(pick));
    QCOMPARE(rig.Dir1()->path(), rig.at(dir1));
    QCOMPARE(rig.File1()->path(), rig.at(dir1));
    QCOMPARE(rig.handlers(kFolderHandlers), handlers);
    QCOMPARE(storedSection("paths"), handlers.contains("Dir1_Change")
                                         ? QStringList{"browsepath=" + rig.at(dir1)}
                                         : storedBefore);
}

enum ComboAction {
    TypeAtEnd,
    TypeIntoEdit,
    PickFromList,
    ArrowUp,
    PressEnter,
    UnusedKeyOnEdit,
    TabAway
};

void frmQuorvaneTest::comboKeepsTheFileListInStep_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<QStringList>("handlers");
    QTest::addColumn<QStringList>("listings");

    // The folder holds a.doc, a.docx, b.txt; the combo starts on "*.doc".
    QTest::newRow("typing: old pattern first, then the new one")
        << int(TypeAtEnd) << QStringList{"cmbkey_KeyDown", "cmbkey_Change"}
        << QStringList{"*.doc:a.doc", "*.docx:a.docx"};
    QTest::newRow("typing into the line edit itself")
        << int(TypeIntoEdit) << QStringList{"cmbkey_KeyDown", "cmbkey_Change"}
        << QStringList{"*.doc:a.doc", "*.docx:a.docx"};
    QTest::newRow("picking an item")
        << int(PickFromList) << QStringList{"cmbkey_Click"} << QStringList{"*.txt:b.txt"};
    QTest::newRow("arrow key picks the item above")
        << int(ArrowUp) << QStringList{"cmbkey_KeyDown", "cmbkey_Click"}
        << QStringList{"*.doc:a.doc", "*.dat:"};
    QTest::newRow("enter reads the folder again")
        << int(PressEnter) << QStringList{"cmbkey_KeyDown"} << QStringList{"*.doc:a.doc,new.doc"};
    QTest::newRow("key the line edit ignores raises KeyDown once")
        << int(UnusedKeyOnEdit) << QStringList{"cmbkey_KeyDown"} << QStringList{"*.doc:a.doc"};
    QTest::newRow("tab moves on without a key") << int(TabAway) << QStringList{} << QStringList{};
}

void frmQuorvaneTest::comboKeepsTheFileListInStep() {
    QFETCH(int, action);
    QFETCH(QStringList, handlers);
    QFETCH(QStringList, listings);

    Rig rig;
    frmQuorvane& w = *rig.window;
    QComboBox* cmbkey = rig.cmbkey();
    writeFile(rig.at("A/start/a.docx"), "x");
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    cmbkey->setFocus();
    cmbkey->lineEdit()->end(false);
    rig.trace.clear();
    rig.listings.clear();

    switch (action) {
        case TypeAtEnd:
            QTest::keyClick(cmbkey, Qt::Key_X);
            break;
        case TypeIntoEdit:
            QTest::keyClick(cmbkey->lineEdit(), Qt::Key_X);
            break;
        case PickFromList: {
            cmbkey->showPopup();
            QAbstractItemView* list = cmbkey->view();
            QVERIFY(QTest::qWaitForWindowExposed(list->window()));
            const QRect item = list->visualRect(list->model()->index(1, 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
            break;
        }
        case ArrowUp:
            QTest::keyClick(cmbkey, Qt::Key_Up);
            break;
        case PressEnter:
            writeFile(rig.at("A/start/new.doc"), "x");
            QTest::keyClick(cmbkey, Qt::Key_Return);
            break;
        case UnusedKeyOnEdit:
            QTest::keyClick(cmbkey->lineEdit(), Qt::Key_F2);
            break;
        case TabAway:
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rig.cmdcountwords()));
            break;
    }
    QCOMPARE(rig.handlers({"cmbkey_Click", "cmbkey_Change", "cmbkey_KeyDown"}), handlers);
    QCOMPARE(rig.listings, listings);
}

void frmQuorvaneTest::clicksStoreOptionsAtOnce() {
    Rig rig;
    frmQuorvane& w = *rig.window;
    StateCheckBox* chknumlist = rig.box("chknumlist");
    StateCheckBox* chkremhyphen = rig.box("chkremhyphen");
    chknumlist->click();
    QCOMPARE(storedSection("program"), (QStringList{"OptCaseInteger=0", "numberedlist=1"}));
    chknumlist->click();
    QCOMPARE(storedSection("program"), (QStringList{"OptCaseInteger=0", "numberedlist=0"}));
    // A greyed box is checked by a click, never greyed by one.
    QVERIFY(chkremhyphen->setValue(2));
    chkremhyphen->click();
    QCOMPARE(chkremhyphen->value(), short(1));
    QVERIFY(!chkremhyphen->setValue(3));
    QCOMPARE(chkremhyphen->value(), short(1));
    rig.optcase(3)->click();
    QVERIFY(!w.optcase_Click(4));
    QVERIFY(rig.optcase(3)->isChecked());
    QCOMPARE(storedSection("program"),
             (QStringList{"OptCaseInteger=3", "chkremhyphen=1", "numberedlist=0"}));
}

void frmQuorvaneTest::optionsMenuRestored_data() {
    QTest::addColumn<QStringList>("store");
    QTest::addColumn<bool>("documentText");
    QTest::addColumn<bool>("wordRule");
    QTest::addColumn<QStringList>("program");  // after start-up: nothing of these is written

    QTest::newRow("absent: off, nothing written")
        << QStringList{} << false << false << QStringList{"OptCaseInteger=0"};
    QTest::newRow("document text on")
        << QStringList{"program/DocumentText=1"} << true << false
        << QStringList{"DocumentText=1", "OptCaseInteger=0"};
    QTest::newRow("word rule on")
        << QStringList{"program/WordRule=1"} << false << true
        << QStringList{"OptCaseInteger=0", "WordRule=1"};
    QTest::newRow("both on, as written by hand")
        << QStringList{"program/DocumentText= 1 ", "program/WordRule=1.0"} << true << true
        << QStringList{"DocumentText= 1 ", "OptCaseInteger=0", "WordRule=1.0"};
    QTest::newRow("off as stored")
        << QStringList{"program/DocumentText=0", "program/WordRule=0"} << false << false
        << QStringList{"DocumentText=0", "OptCaseInteger=0", "WordRule=0"};
    QTest::newRow("neither 1 nor 0 is off")
        << QStringList{"program/DocumentText=yes", "program/WordRule=2"} << false << false
        << QStringList{"DocumentText=yes", "OptCaseInteger=0", "WordRule=2"};
    // The other options are restored as before, whatever the menu finds.
    QTest::newRow("with the other options")
        << QStringList{"program/WordRule=1", "program/numberedlist=1", "program/OptCaseInteger=2"}
        << false << true << QStringList{"OptCaseInteger=2", "WordRule=1", "numberedlist=1"};
}

void frmQuorvaneTest::optionsMenuRestored() {
    QFETCH(QStringList, store);
    QFETCH(bool, documentText);
    QFETCH(bool, wordRule);
    QFETCH(QStringList, program);

    Rig rig(store);
    QVERIFY(rig.menu("mnudocumenttext")->isCheckable());
    QVERIFY(rig.menu("mnuwordrule")->isCheckable());
    QCOMPARE(rig.menu("mnudocumenttext")->isChecked(), documentText);
    QCOMPARE(rig.menu("mnuwordrule")->isChecked(), wordRule);
    QCOMPARE(storedSection("program"), program);
    QCOMPARE(rig.handlers({"mnudocumenttext_Click", "mnuwordrule_Click"}), QStringList{});
}

void frmQuorvaneTest::optionsMenuStoresEachToggleOnce() {
    Rig rig;
    // The third top-level menu, after the two commands.
    const QList<QAction*> bar = rig.window->menuBar()->actions();
    QCOMPARE(bar.size(), 3);
    QCOMPARE(bar[2]->menu(), rig.find<QMenu>("mnuoptions"));
    QCOMPARE(rig.find<QMenu>("mnuoptions")->actions(),
             (QList<QAction*>{rig.menu("mnudocumenttext"), rig.menu("mnuwordrule")}));

    const struct {
        const char* command;
        QStringList program;
    } steps[] = {
        {"mnuwordrule", {"OptCaseInteger=0", "WordRule=1"}},
        {"mnudocumenttext", {"DocumentText=1", "OptCaseInteger=0", "WordRule=1"}},
        {"mnuwordrule", {"DocumentText=1", "OptCaseInteger=0", "WordRule=0"}},
        {"mnudocumenttext", {"DocumentText=0", "OptCaseInteger=0", "WordRule=0"}},
    };
    QStringList expectedTrace;
    for (const auto& step : steps) {
        rig.menu(step.command)->trigger();  // as a click on it does
        expectedTrace << QString::fromLatin1(step.command) + "_Click";
        QCOMPARE(storedSection("program"), step.program);
        QCOMPARE(rig.handlers({"mnudocumenttext_Click", "mnuwordrule_Click"}), expectedTrace);
    }
    // A state set by the program, not the user, is not stored.
    rig.menu("mnuwordrule")->setChecked(true);
    QCOMPARE(storedSection("program"), steps[3].program);
}

void frmQuorvaneTest::countWordsUsesTheWordRule_data() {
    QTest::addColumn<QString>("storedRule");  // "": nothing stored
    QTest::addColumn<bool>("toggle");         // the user toggles the command before counting
    QTest::addColumn<QByteArray>("report");

    const QByteArray classic = "a.txt (1 Words)\r\n\r\nTotal Words: 1\r\n";
    const QByteArray unicode = "a.txt (3 Words)\r\n\r\nTotal Words: 3\r\n";
    QTest::newRow("classic by default") << "" << false << classic;
    QTest::newRow("unicode restored") << "1" << false << unicode;
    QTest::newRow("unicode chosen") << "" << true << unicode;
    QTest::newRow("unicode restored, then turned off") << "1" << true << classic;
}

void frmQuorvaneTest::countWordsUsesTheWordRule() {
    QFETCH(QString, storedRule);
    QFETCH(bool, toggle);
    QFETCH(QByteArray, report);

    Rig rig(storedRule.isEmpty() ? QStringList{} : QStringList{"program/WordRule=" + storedRule});
    // Classic joins the lines and drops the Cyrillic word; the Unicode rule sees three words.
    writeFile(rig.at("A/rule/a.txt"), QStringLiteral("one\ntwo - Привет").toUtf8());
    QVERIFY(rig.Dir1()->setPath(rig.at("A/rule")));
    rig.cmbkey()->setCurrentIndex(0);
    rig.window->cmbkey_Click();
    if (toggle) {
        rig.menu("mnuwordrule")->trigger();
    }
    rig.cmdcountwords()->click();
    QCOMPARE(readFile(rig.at("A/rule/tallix.txt")), report);
}

void frmQuorvaneTest::countWordsRun_data() {
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<bool>("greyEditor");
    QTest::addColumn<bool>("removeFolder");
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<QString>("message");  // title|text
    QTest::addColumn<bool>("editor");

    const QString done = "Job Done|done \"output.txt\" File Created!";
    QTest::newRow("no options")
        << QStringList{} << false << false
        << QByteArray("a.doc (2 Words)\r\nb_c-d.txt (3 Words)\r\n\r\nTotal Words: 5\r\n") << done
        << false;
    QTest::newRow("numbered, names cleaned, upper case, editor")
        << QStringList{"chknumlist",   "chkremext", "chkremunderscore",
                       "chkremhyphen", "optcase_1", "chkshelltopad"}
        << false << false
        << QByteArray("1. A (2 WORDS)\r\n2. B C D (3 WORDS)\r\n\r\nTotal Words: 5\r\n") << done
        << true;
    // One box at a time: each reaches the count as its own option.
    QTest::newRow("underscores only")
        << QStringList{"chkremunderscore"} << false << false
        << QByteArray("a.doc (2 Words)\r\nb c-d.txt (3 Words)\r\n\r\nTotal Words: 5\r\n") << done
        << false;
    QTest::newRow("hyphens only")
        << QStringList{"chkremhyphen"} << false << false
        << QByteArray("a.doc (2 Words)\r\nb_c d.txt (3 Words)\r\n\r\nTotal Words: 5\r\n") << done
        << false;
    QTest::newRow("title case, editor greyed")
        << QStringList{"optcase_3"} << true << false
        << QByteArray("A.doc (2 Words)\r\nB_c-d.txt (3 Words)\r\n\r\nTotal Words: 5\r\n") << done
        << false;
    // The folder vanished while shown: the user hears why, in the system's words, and the
    // window is ready again.
    QTest::newRow("folder removed while shown")
        << QStringList{"chkshelltopad"} << false << true << QByteArray("<missing>")
        << "Quorvane|The report \"@A/run/tallix.txt\" could not be written: " +
               SystemError::text(ENOENT)
        << false;
}

void frmQuorvaneTest::countWordsRun() {
    QFETCH(QStringList, clicks);
    QFETCH(bool, greyEditor);
    QFETCH(bool, removeFolder);
    QFETCH(QByteArray, report);
    QFETCH(QString, message);
    QFETCH(bool, editor);

    Rig rig;
    frmQuorvane& w = *rig.window;
    QVERIFY(rig.openRunFolder());
    for (const QString& name : clicks) {
        auto* button = w.findChild<QAbstractButton*>(name);
        QVERIFY2(button, qPrintable(name));
        button->click();
    }
    if (greyEditor) {
        QVERIFY(rig.box("chkshelltopad")->setValue(2));
    }
    if (removeFolder) {
        QVERIFY(QDir(rig.at("A/run")).removeRecursively());
    }
    rig.cmdcountwords()->click();

    const QString reportPath = rig.at("A/run/tallix.txt");
    QCOMPARE(readFile(reportPath), report);
    QCOMPARE(rig.messages.shown, rig.resolve({message}));
    QCOMPARE(rig.starter.editorCalls, editor ? QStringList{reportPath} : QStringList{});
    QCOMPARE(rig.File1()->names().contains("tallix.txt"), !removeFolder);
    QVERIFY(rig.cmdcountwords()->isEnabled());
    QVERIFY(!rig.Timer1()->isActive());
    QVERIFY(rig.label("lblstatus")->isHidden());
}

void frmQuorvaneTest::letterCaseChangedDuringARun_data() {
    QTest::addColumn<bool>("outside");  // stored by another program, not by the window
    QTest::newRow("by the window's button") << false;
    QTest::newRow("by another program") << true;
}

// The letter case is read afresh for every line: a change made once the first line is
// built reaches the second.
void frmQuorvaneTest::letterCaseChangedDuringARun() {
    QFETCH(bool, outside);
    Rig rig;
    frmQuorvane& w = *rig.window;
    QVERIFY(rig.openRunFolder());
    bool changed = false;
    rig.onCountProgress = [&](qint64 filesDone) {
        if (filesDone != 1 || changed) {
            return;
        }
        changed = true;
        if (outside) {
            QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Harvex", "Harvex");
            store.setValue("program/OptCaseInteger", "1");
            store.sync();
            rig.clock.advanceMs(1000);  // longer than the window trusts what it last found
        } else {
            control<QAbstractButton>(w, "optcase_1")->click();
        }
    };
    rig.cmdcountwords()->click();
    QCOMPARE(readFile(rig.at("A/run/tallix.txt")),
             QByteArray("a.doc (2 Words)\r\nB_C-D.TXT (3 WORDS)\r\n\r\nTotal Words: 5\r\n"));
}

void frmQuorvaneTest::boxStatesShapeTheReport_data() {
    QTest::addColumn<QStringList>("store");
    QTest::addColumn<QString>("box");  // empty: every box unchecked
    QTest::addColumn<int>("state");
    QTest::addColumn<QByteArray>("lines");  // the report holds them

    // A greyed box turns its option on as a checked one does.
    const QList<std::pair<const char*, QByteArray>> boxes = {
        {"chknumlist", "1. a.doc (2 Words)\r\n2. b_c-d.txt (3 Words)\r\n"},
        {"chkremext", "a (2 Words)\r\nb_c-d (3 Words)\r\n"},
        {"chkremunderscore", "a.doc (2 Words)\r\nb c-d.txt (3 Words)\r\n"},
        {"chkremhyphen", "a.doc (2 Words)\r\nb_c d.txt (3 Words)\r\n"},
        {"chkdatecreated", "a.doc (Date Created: "},
    };
    for (const auto& [box, lines] : boxes) {
        for (const int state : {1, 2}) {
            QTest::addRow("%s=%d", box, state) << QStringList{} << box << state << lines;
        }
    }
    const QByteArray untouched = "a.doc (2 Words)\r\nb_c-d.txt (3 Words)\r\n\r\n";
    QTest::newRow("nothing set") << QStringList{} << QString() << 0 << untouched;
    // A stored letter case without a button leaves the lines as they are.
    QTest::newRow("case 9") << QStringList{"program/OptCaseInteger=9"} << QString() << 0
                            << untouched;
    QTest::newRow("case -1") << QStringList{"program/OptCaseInteger=-1"} << QString() << 0
                             << untouched;
    QTest::newRow("case 2") << QStringList{"program/OptCaseInteger=2"} << QString() << 0
                            << QByteArray("a.doc (2 words)\r\nb_c-d.txt (3 words)\r\n\r\n");
}

void frmQuorvaneTest::boxStatesShapeTheReport() {
    QFETCH(QStringList, store);
    QFETCH(QString, box);
    QFETCH(int, state);
    QFETCH(QByteArray, lines);

    Rig rig(store);
    QVERIFY(rig.openRunFolder());
    if (!box.isEmpty()) {
        QVERIFY(rig.box(box)->setValue(static_cast<short>(state)));
    }
    rig.cmdcountwords()->click();
    const QByteArray report = readFile(rig.at("A/run/tallix.txt"));
    QVERIFY2(report.contains(lines), report.constData());
}

void frmQuorvaneTest::closingMessage_data() {
    QTest::addColumn<int>("failed");
    QTest::addColumn<QString>("message");

    const QString done = "done \"output.txt\" File Created!";
    QTest::newRow("all counted") << 0 << done;
    QTest::newRow("one") << 1 << done + "\n\nNot counted:\nf1";
    QString twenty = done + "\n\nNot counted:";
    for (int i = 1; i <= 20; ++i) {
        twenty += QStringLiteral("\nf%1").arg(i);
    }
    QTest::newRow("twenty, all shown") << 20 << twenty;
    QTest::newRow("twenty-three, the rest counted") << 23 << twenty + "\nand 3 more";
}

void frmQuorvaneTest::closingMessage() {
    QFETCH(int, failed);
    QFETCH(QString, message);
    QList<NotCounted> files;
    for (int i = 1; i <= failed; ++i) {
        files.append({QStringLiteral("f%1").arg(i), QStringLiteral("reason")});
    }
    QCOMPARE(frmQuorvane::closingMessage(files), message);
}

void frmQuorvaneTest::closingDuringARunCancelsIt() {
    Rig rig;
    const QByteArray earlier = "earlier report\r\n\r\nTotal Words: 7\r\n";
    writeFile(rig.at("A/big/tallix.txt"), earlier);
    for (const char* name : {"A/big/1.txt", "A/big/2.txt", "A/big/3.txt"}) {
        writeFile(rig.at(name), QByteArray("word ").repeated(400000));
    }
    frmQuorvane& w = *rig.window;
    QVERIFY(rig.Dir1()->setPath(rig.at("A/big")));
    rig.cmbkey()->setCurrentIndex(0);
    w.cmbkey_Click();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    // As the user would: press the button from the event loop and close the window while
    // the count yields; the event loop, and with it the program, must then end.
    bool closedWhileRunning = false;
    QTimer::singleShot(0, &w, [&] {
        QTimer::singleShot(0, &w, [&] {
            closedWhileRunning = w.countRunning() && rig.Timer1()->isActive();
            w.close();
        });
        rig.cmdcountwords()->click();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(60000);
    QCOMPARE(QCoreApplication::exec(), 0);

    QVERIFY(closedWhileRunning);
    QVERIFY(w.lastCountResult().has_value());
    QCOMPARE(int(w.lastCountResult()->outcome), int(CountResult::Outcome::Cancelled));
    QCOMPARE(readFile(rig.at("A/big/tallix.txt")), earlier);
    QCOMPARE(QDir(rig.at("A/big")).entryList(QDir::Files).size(), 4);  // nothing left behind
    QCOMPARE(rig.messages.shown, QStringList{});
    QVERIFY(rig.starter.editorCalls.isEmpty());
    QVERIFY(!w.countRunning());
    QVERIFY(!rig.Timer1()->isActive());
}

#if defined(QUORVANE_STUCK_READER)
// A document whose reader never answers (a stand-in worker that spins on every "hang"
// file) must not hold the window: closing it ends the run at once.
void frmQuorvaneTest::closingEndsARunStuckInADocumentReader() {
    qputenv("QUORVANE_READER", QUORVANE_STUCK_READER);
    Rig rig;
    writeFile(rig.at("A/docs/tallix.txt"), "earlier");
    writeFile(rig.at("A/docs/hang.pdf"), "%PDF-1.4\n% never read to its end\n");
    frmQuorvane& w = *rig.window;
    QVERIFY(rig.Dir1()->setPath(rig.at("A/docs")));
    rig.cmbkey()->setCurrentIndex(0);
    w.cmbkey_Click();
    rig.menu("mnudocumenttext")->setChecked(true);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QElapsedTimer sinceClose;
    QTimer::singleShot(0, &w, [&] {
        QTimer::singleShot(300, &w, [&] {
            QVERIFY(w.countRunning());
            sinceClose.start();
            w.close();
        });
        rig.cmdcountwords()->click();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(30000);
    QCOMPARE(QCoreApplication::exec(), 0);
    qunsetenv("QUORVANE_READER");

    QVERIFY(sinceClose.isValid());
    QVERIFY2(sinceClose.elapsed() < 100, QByteArray::number(sinceClose.elapsed()).constData());
    QCOMPARE(int(w.lastCountResult()->outcome), int(CountResult::Outcome::Cancelled));
    QCOMPARE(readFile(rig.at("A/docs/tallix.txt")), QByteArray("earlier"));
}
#else
void frmQuorvaneTest::closingEndsARunStuckInADocumentReader() {
    QSKIP("no stand-in reader worker in this build");
}
#endif

void frmQuorvaneTest::panels_data() {
    QTest::addColumn<QString>("commands");  // a: About, c: Count Words, in order
    QTest::addColumn<bool>("duringRun");    // the commands come while a count yields
    QTest::addColumn<bool>("aboutShown");

    QTest::newRow("about from the counting panel") << "a" << false << true;
    QTest::newRow("about twice") << "aa" << false << true;
    QTest::newRow("count words from about") << "ac" << false << false;
    QTest::newRow("count words while shown") << "c" << false << false;
    QTest::newRow("about during a run") << "a" << true << true;
    QTest::newRow("about and back during a run") << "ac" << true << false;
}

void frmQuorvaneTest::panels() {
    QFETCH(QString, commands);
    QFETCH(bool, duringRun);
    QFETCH(bool, aboutShown);

    Rig rig;
    frmQuorvane& w = *rig.window;
    QVERIFY(rig.label("lblappversion")->text().isEmpty());
    const auto run = [&] {
        for (const QChar command : commands) {
            (command == 'a' ? rig.menu("mnuabout") : rig.menu("mnucountwords"))->trigger();
        }
    };
    bool ranDuringCount = false;
    if (duringRun) {
        rig.cmbkey()->setCurrentIndex(0);
        w.cmbkey_Click();
        QTimer::singleShot(0, &w, [&] {
            ranDuringCount = w.countRunning();
            run();
        });
        rig.cmdcountwords()->click();
        QVERIFY(ranDuringCount);
        // The run went on to its end and said so, whichever panel was shown.
        QCOMPARE(rig.messages.shown, QStringList{"Job Done|done \"output.txt\" File Created!"});
        QCOMPARE(int(w.lastCountResult()->outcome), int(CountResult::Outcome::Completed));
    } else {
        run();
        QVERIFY(rig.messages.shown.isEmpty());  // the menu command never counts
        QVERIFY(!w.lastCountResult().has_value());
    }
    QCOMPARE(rig.frame("frameabout")->isHidden(), !aboutShown);
    QCOMPARE(rig.frame("framecountwords")->isHidden(), aboutShown);
    QCOMPARE(rig.frame(aboutShown ? "frameabout" : "framecountwords")->pos(), QPoint(0, 0));
    // Filled by the first "About" and kept from then on.
    const bool filled = commands.contains('a');
    QCOMPARE(rig.label("lblappversion")->text().endsWith("Version: 1.0.0"), filled);
    QCOMPARE(rig.label("lblappinfo")->text().isEmpty(), !filled);
    QCOMPARE(rig.label("lblappcopyright")->text().isEmpty(), !filled);
    QVERIFY(rig.cmdcountwords()->isEnabled());
    QVERIFY(rig.label("lblstatus")->isHidden());
}

void frmQuorvaneTest::link() {
    Rig rig;
    auto* link = rig.find<LinkLabel>("lblgoplumwick");
    emit link->clicked();
    emit link->mouseMoved();
    QCOMPARE(rig.opener.opened, QStringList{QStringLiteral("Open %1 1").arg(kDownloadPage)});
    QVERIFY(rig.messages.shown.isEmpty());
    QCOMPARE(link->look(), LinkLabel::Look::Hover);
}

// The captions are the words the user's guide sends people looking for, trailing blanks
// and all: they stay literal here. Whether each fits its control is captionsFit's.
void frmQuorvaneTest::captions_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");

    // clang-format off
    QTest::newRow("lbldrv") << "lbldrv" << "Drive:";
    QTest::newRow("lblkey") << "lblkey" << "Key:";
    QTest::newRow("Label1") << "Label1"
        << "The settings below change the format of the output file, i.e. if you wish to remove "
           "the file extension from the report just click \"remove extensions\" ";
    QTest::newRow("Frame1") << "Frame1" << "Format Wording";
    QTest::newRow("optcase_0") << "optcase_0" << "Untouched";
    QTest::newRow("optcase_1") << "optcase_1" << "Uppercase";
    QTest::newRow("optcase_2") << "optcase_2" << "Lowercase ";
    QTest::newRow("optcase_3") << "optcase_3" << "Title Case";
    QTest::newRow("Frame2") << "Frame2" << "Remove";
    QTest::newRow("chkremext") << "chkremext" << "Extensions";
    QTest::newRow("chkremunderscore") << "chkremunderscore" << "Underscore";
    QTest::newRow("chkremhyphen") << "chkremhyphen" << "Hyphen ";
    QTest::newRow("Frame3") << "Frame3" << "In Report";
    QTest::newRow("chknumlist") << "chknumlist" << "Provide Numbered List";
    QTest::newRow("chkdatecreated") << "chkdatecreated" << "Insert Date Created";
    QTest::newRow("chkshelltopad") << "chkshelltopad" << "Show End result in Notepad";
    QTest::newRow("cmdcountwords") << "cmdcountwords" << "COUNT WORDS";
    QTest::newRow("lblstatus") << "lblstatus" << "Active";
    QTest::newRow("lblgoplumwick") << "lblgoplumwick" << "Click here for most recent version. ";
    QTest::newRow("framecountwords") << "framecountwords" << "";
    QTest::newRow("frameabout") << "frameabout" << "";
    QTest::newRow("mnuabout") << "mnuabout" << "About";
    QTest::newRow("mnucountwords") << "mnucountwords" << "Count Words";
    QTest::newRow("mnuoptions") << "mnuoptions" << "Options";
    QTest::newRow("mnudocumenttext") << "mnudocumenttext" << "Read Document Text";
    QTest::newRow("mnuwordrule") << "mnuwordrule" << "Count Words in Every Script";
    QTest::newRow("cmbkey") << "cmbkey" << "*.doc|*.*,*.txt,*.dat,*.doc";
    // clang-format on
}

void frmQuorvaneTest::captions() {
    QFETCH(QString, name);
    QFETCH(QString, caption);

    Rig rig;
    QObject* control = rig.window->findChild<QObject*>(name);
    QVERIFY2(control, qPrintable(name));
    QString text;
    if (auto* label = qobject_cast<QLabel*>(control)) {
        text = label->text();
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        text = button->text();
    } else if (auto* frame = qobject_cast<QGroupBox*>(control)) {
        text = frame->title();
    } else if (auto* action = qobject_cast<QAction*>(control)) {
        text = action->text();
    } else if (auto* menu = qobject_cast<QMenu*>(control)) {
        text = menu->title();
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) {
            items << combo->itemText(i);
        }
        text = combo->currentText() + "|" + items.join(',');
    }
    QCOMPARE(text, caption);
}

void frmQuorvaneTest::layout() {
    Rig rig;
    frmQuorvane& w = *rig.window;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));

    // The form is 10530 by 5805 twips, whatever the density of the screen: 1440 to an inch.
    const QScreen* screen = QGuiApplication::primaryScreen();
    QVERIFY(screen != nullptr);
    const double pixelsPerTwip = screen->logicalDotsPerInch() / 1440.0;
    QCOMPARE(w.centralWidget()->size(),
             QSize(qRound(10530 * pixelsPerTwip), qRound(5805 * pixelsPerTwip)));
    QCOMPARE(w.centralWidget()->size(), QSize(w.px(10530), w.px(5805)));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rig.Dir1()));

    // Every control is found by its name and lies wholly inside its container (the About
    // panel once it has been shown: until then it waits hidden at its design offset).
    rig.menu("mnuabout")->trigger();
    const QStringList controls = {
        "Drive1",           "Dir1",          "File1",          "cmbkey",
        "lbldrv",           "lblkey",        "framecontainer", "framecountwords",
        "Label1",           "Frame1",        "optcase_0",      "optcase_1",
        "optcase_2",        "optcase_3",     "Frame2",         "chkremext",
        "chkremunderscore", "chkremhyphen",  "Frame3",         "chknumlist",
        "chkdatecreated",   "chkshelltopad", "picstatus",      "cmdcountwords",
        "frameabout",       "lblappversion", "lblappinfo",     "lblappcopyright",
        "lblgoplumwick"};
    for (const QString& name : controls) {
        auto* control = w.findChild<QWidget*>(name);
        QVERIFY2(control, qPrintable(name));
        QVERIFY2(control->parentWidget()->rect().contains(control->geometry()), qPrintable(name));
    }

    const QStringList tabOrder = {
        "Dir1",          "Drive1",        "File1",          "cmbkey",
        "cmdcountwords", "chkshelltopad", "chkremhyphen",   "chkremunderscore",
        "chkremext",     "optcase_3",     "optcase_2",      "optcase_1",
        "optcase_0",     "chknumlist",    "chkdatecreated", "picstatus"};
    QStringList seen;
    QWidget* next = rig.Dir1();
    do {
        if (tabOrder.contains(next->objectName()) && !seen.contains(next->objectName())) {
            seen << next->objectName();
        }
        next = next->nextInFocusChain();
    } while (next != rig.Dir1());
    QCOMPARE(seen, tabOrder);
}

void frmQuorvaneTest::tabStopsAtTheSelectedCaseButton_data() {
    QTest::addColumn<QString>("storedCase");
    QTest::addColumn<int>("click");  // a button the user clicks after start-up; -1: none
    QTest::addColumn<QString>("stop");

    QTest::newRow("first start") << "" << -1 << "optcase_0";
    QTest::newRow("restored lower case") << "2" << -1 << "optcase_2";
    QTest::newRow("user picks title case") << "" << 3 << "optcase_3";
    QTest::newRow("user picks upper case after a restore") << "2" << 1 << "optcase_1";
    QTest::newRow("none selected: the first in tab order") << "9" << -1 << "optcase_3";
}

void frmQuorvaneTest::tabStopsAtTheSelectedCaseButton() {
    QFETCH(QString, storedCase);
    QFETCH(int, click);
    QFETCH(QString, stop);

    Rig rig(storedCase.isEmpty() ? QStringList{}
                                 : QStringList{"program/OptCaseInteger=" + storedCase});
    frmQuorvane& w = *rig.window;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    if (click >= 0) {
        rig.optcase(click)->click();
    }
    const auto walk = [&](Qt::Key key, int presses) {
        rig.Dir1()->setFocus();
        QStringList seen;
        for (int i = 0; i < presses; ++i) {
            QTest::keyClick(QApplication::focusWidget(), key);
            seen << QApplication::focusWidget()->objectName();
        }
        return seen;
    };
    const QStringList forward = {"Drive1",
                                 "File1",
                                 "cmbkey",
                                 "cmdcountwords",
                                 "chkshelltopad",
                                 "chkremhyphen",
                                 "chkremunderscore",
                                 "chkremext",
                                 stop,
                                 "chknumlist",
                                 "chkdatecreated",
                                 "picstatus",
                                 "Dir1"};
    QCOMPARE(walk(Qt::Key_Tab, 13), forward);
    QStringList backward = forward;
    std::reverse(backward.begin(), backward.end());
    backward.removeFirst();
    backward << "Dir1";
    QCOMPARE(walk(Qt::Key_Backtab, 13), backward);
}

void frmQuorvaneTest::menuBarByKeyboard_data() {
    QTest::addColumn<QString>("startAt");   // the control with the focus before the keys
    QTest::addColumn<QString>("keys");      // Alt: pressed and released alone
    QTest::addColumn<QString>("focus");     // afterwards; "bar": the menu bar
    QTest::addColumn<QString>("active");    // the bar's highlighted command; "*": any
    QTest::addColumn<QString>("menuItem");  // the highlighted item of an open menu
    QTest::addColumn<bool>("about");        // the About panel shows
    QTest::addColumn<QStringList>("program");

    const QStringList nothing = {"OptCaseInteger=0"};
    // clang-format off
    QTest::newRow("F10 highlights the first command")
        << "Dir1" << "F10" << "bar" << "mnuabout" << "" << false << nothing;
    QTest::newRow("Enter runs it and the focus goes back")
        << "Dir1" << "F10 Return" << "Dir1" << "" << "" << true << nothing;
    QTest::newRow("Space runs it, back to the pattern box")
        << "cmbkey" << "F10 Space" << "cmbkey" << "" << "" << true << nothing;
    QTest::newRow("Right then Enter runs Count Words")
        << "Dir1" << "F10 Return F10 Right Return" << "Dir1" << "" << "" << false << nothing;
    QTest::newRow("Escape leaves")
        << "File1" << "F10 Escape" << "File1" << "" << "" << false << nothing;
    QTest::newRow("F10 again leaves")
        << "File1" << "F10 F10" << "File1" << "" << "" << false << nothing;
    QTest::newRow("Alt alone enters")
        << "Dir1" << "Alt" << "bar" << "mnuabout" << "" << false << nothing;
    QTest::newRow("Alt reported without its modifier enters")
        << "chknumlist" << "AltBare" << "bar" << "mnuabout" << "" << false << nothing;
    QTest::newRow("Alt again leaves")
        << "chknumlist" << "Alt Alt" << "chknumlist" << "" << "" << false << nothing;
    QTest::newRow("Alt held for another key is no visit")
        << "Dir1" << "AltDown X AltUp" << "Dir1" << "" << "" << false << nothing;
    QTest::newRow("Shift+F10 is no visit")
        << "Dir1" << "ShiftF10" << "Dir1" << "" << "" << false << nothing;
    QTest::newRow("Options opens at its first item")
        << "Dir1" << "F10 Right Right" << "bar" << "mnuoptions" << "mnudocumenttext" << false
        << nothing;
    QTest::newRow("Enter in the menu toggles the item and leaves")
        << "Dir1" << "F10 Right Right Return" << "Dir1" << "" << "" << false
        << QStringList{"DocumentText=1", "OptCaseInteger=0"};
    QTest::newRow("Left wraps round, Down picks the next item")
        << "cmbkey" << "F10 Left Down Return" << "cmbkey" << "" << "" << false
        << QStringList{"OptCaseInteger=0", "WordRule=1"};
    QTest::newRow("Escape closes the menu and stays in the bar")
        << "Dir1" << "F10 Left Escape" << "bar" << "*" << "" << false << nothing;
    QTest::newRow("a second Escape leaves")
        << "Dir1" << "F10 Left Escape Escape" << "Dir1" << "" << "" << false << nothing;
    QTest::newRow("after the menu the arrows go on from it")
        << "Dir1" << "F10 Return F10 Left Escape Left Return" << "Dir1" << "" << "" << false
        << nothing;
    QTest::newRow("Down reopens the closed menu")
        << "Dir1" << "F10 Left Escape Down" << "bar" << "mnuoptions" << "mnudocumenttext"
        << false << nothing;
    QTest::newRow("Right past the end closes the menu, back at About")
        << "Dir1" << "F10 Right Right Right" << "bar" << "mnuabout" << "" << false << nothing;
    QTest::newRow("Tab stays in the bar")
        << "Dir1" << "F10 Tab" << "bar" << "mnuabout" << "" << false << nothing;
    QTest::newRow("a click elsewhere ends the visit")
        << "Dir1" << "F10 ClickFiles" << "File1" << "" << "" << false << nothing;
    // clang-format on
}

void frmQuorvaneTest::menuBarByKeyboard() {
    QFETCH(QString, startAt);
    QFETCH(QString, keys);
    QFETCH(QString, focus);
    QFETCH(QString, active);
    QFETCH(QString, menuItem);
    QFETCH(bool, about);
    QFETCH(QStringList, program);

    Rig rig;
    frmQuorvane& w = *rig.window;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    rig.find<QWidget>(startAt)->setFocus();
    QMenuBar* bar = w.menuBar();
    // Keys go where the system sends them: to an open menu, else to the focus.
    const auto target = [] {
        QWidget* popup = QApplication::activePopupWidget();
        return popup != nullptr ? popup : QApplication::focusWidget();
    };
    for (const QString& key : keys.split(' ')) {
        if (key == "Alt") {
            QTest::keyPress(target(), Qt::Key_Alt, Qt::AltModifier);
            QTest::keyRelease(target(), Qt::Key_Alt);
        } else if (key == "AltBare") {
            QTest::keyPress(target(), Qt::Key_Alt);
            QTest::keyRelease(target(), Qt::Key_Alt);
        } else if (key == "AltDown") {
            QTest::keyPress(target(), Qt::Key_Alt, Qt::AltModifier);
        } else if (key == "AltUp") {
            QTest::keyRelease(target(), Qt::Key_Alt);
        } else if (key == "X") {
            QTest::keyClick(target(), Qt::Key_X, Qt::AltModifier);
        } else if (key == "ShiftF10") {
            QTest::keyClick(target(), Qt::Key_F10, Qt::ShiftModifier);
        } else if (key == "ClickFiles") {
            QTest::mouseClick(rig.File1()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        } else {
            const QHash<QString, Qt::Key> named = {
                {"F10", Qt::Key_F10},     {"Left", Qt::Key_Left},     {"Right", Qt::Key_Right},
                {"Up", Qt::Key_Up},       {"Down", Qt::Key_Down},     {"Return", Qt::Key_Return},
                {"Space", Qt::Key_Space}, {"Escape", Qt::Key_Escape}, {"Tab", Qt::Key_Tab}};
            QVERIFY2(named.contains(key), qPrintable(key));
            QTest::keyClick(target(), named.value(key));
        }
    }

    QWidget* now = QApplication::focusWidget();
    QCOMPARE(now == bar ? QString("bar") : now->objectName(), focus);
    if (active != "*") {
        QAction* highlighted = bar->activeAction();
        const QString shown = highlighted == nullptr ? QString()
                              : highlighted->menu()  ? highlighted->menu()->objectName()
                                                     : highlighted->objectName();
        QCOMPARE(shown, active);
    }
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QCOMPARE(menu != nullptr && menu->activeAction() != nullptr ? menu->activeAction()->objectName()
                                                                : QString(),
             menuItem);
    QCOMPARE(!rig.frame("frameabout")->isHidden(), about);
    QCOMPARE(storedSection("program"), program);
}

void frmQuorvaneTest::accessibleNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("accessibleName");
    QTest::addColumn<QString>("description");  // a part of it; "" none asked for

    // clang-format off
    QTest::newRow("Drive1") << "Drive1" << "Drive" << "drive";
    QTest::newRow("cmbkey") << "cmbkey" << "Key (file pattern)" << "*.txt";
    QTest::newRow("Dir1") << "Dir1" << "Folders" << "folder";
    QTest::newRow("File1") << "File1" << "Files" << "match the key";
    QTest::newRow("optcase_0") << "optcase_0" << "Untouched" << "letter case";
    QTest::newRow("optcase_2") << "optcase_2" << "Lowercase" << "letter case";
    QTest::newRow("chkremext") << "chkremext" << "Extensions" << "full stop";
    QTest::newRow("chkremunderscore") << "chkremunderscore" << "Underscore" << "_";
    QTest::newRow("chkremhyphen") << "chkremhyphen" << "Hyphen" << "-";
    QTest::newRow("chknumlist") << "chknumlist" << "Provide Numbered List" << "number";
    QTest::newRow("chkdatecreated") << "chkdatecreated" << "Insert Date Created" << "created";
    QTest::newRow("chkshelltopad") << "chkshelltopad" << "Show End result in Notepad" << "editor";
    QTest::newRow("cmdcountwords") << "cmdcountwords" << "Count Words" << "tallix.txt";
    QTest::newRow("picstatus") << "picstatus" << "Busy" << "No count is running";
    QTest::newRow("lblgoplumwick") << "lblgoplumwick" << "Click here for most recent version."
                                   << "download page";
    QTest::newRow("Frame1") << "Frame1" << "Format Wording" << "";
    QTest::newRow("framecountwords") << "framecountwords" << "Count Words" << "";
    QTest::newRow("frameabout") << "frameabout" << "About" << "";
    // clang-format on
}

void frmQuorvaneTest::accessibleNames() {
    QFETCH(QString, name);
    QFETCH(QString, accessibleName);
    QFETCH(QString, description);

    Rig rig;
    auto* control = rig.find<QWidget>(name);
    QAccessibleInterface* told = QAccessible::queryAccessibleInterface(control);
    QVERIFY(told != nullptr);
    QCOMPARE(told->text(QAccessible::Name), accessibleName);
    QVERIFY2(told->text(QAccessible::Description).contains(description),
             qPrintable(told->text(QAccessible::Description)));
    // A combo is named by what it is for, whatever it holds; the value is told apart.
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        QCOMPARE(told->role(), QAccessible::ComboBox);
        QCOMPARE(told->text(QAccessible::Value), combo->currentText());
        combo->setCurrentIndex(combo->count() - 1 - combo->currentIndex());
        QCOMPARE(told->text(QAccessible::Value), combo->currentText());
        QCOMPARE(told->text(QAccessible::Name), accessibleName);
    }
}

void frmQuorvaneTest::busyStripShowsItsFocus() {
    Rig rig;
    frmQuorvane& w = *rig.window;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto* strip = rig.find<QWidget>("picstatus");
    QVERIFY(strip->focusPolicy() & Qt::TabFocus);
    const QImage plain = strip->grab().toImage();
    rig.box("chkdatecreated")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), strip);
    QVERIFY2(strip->grab().toImage() != plain, "no focus mark on the busy strip");
    QTest::keyClick(strip, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rig.Dir1()));
    QCOMPARE(strip->grab().toImage(), plain);
}

void frmQuorvaneTest::captionsFit_data() {
    QTest::addColumn<QString>("name");
    for (const char* name :
         {"lbldrv",        "lblkey",           "Label1",       "Frame1",        "Frame2",
          "Frame3",        "optcase_0",        "optcase_1",    "optcase_2",     "optcase_3",
          "chkremext",     "chkremunderscore", "chkremhyphen", "chknumlist",    "chkdatecreated",
          "chkshelltopad", "cmdcountwords",    "lblstatus",    "lblgoplumwick", "lblappversion",
          "lblappinfo",    "lblappcopyright"}) {
        QTest::newRow(name) << QString(name);
    }
}

// Each caption is whole within its control, at the font the control shows it in, measured
// as the style lays the control out; the About panel's once it has been shown.
void frmQuorvaneTest::captionsFit() {
    QFETCH(QString, name);

    Rig rig;
    rig.menu("mnuabout")->trigger();
    auto* control = rig.find<QWidget>(name);
    const QFontMetrics metrics(control->font());
    const QStyle* style = control->style();
    if (auto* button = qobject_cast<QCheckBox*>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect room = style->subElementRect(QStyle::SE_CheckBoxContents, &option, button);
        QVERIFY2(metrics.horizontalAdvance(button->text()) <= room.width(),
                 qPrintable(QString("%1 > %2")
                                .arg(metrics.horizontalAdvance(button->text()))
                                .arg(room.width())));
    } else if (auto* radio = qobject_cast<QRadioButton*>(control)) {
        QStyleOptionButton option;
        option.initFrom(radio);
        option.text = radio->text();
        const QRect room = style->subElementRect(QStyle::SE_RadioButtonContents, &option, radio);
        QVERIFY2(metrics.horizontalAdvance(radio->text()) <= room.width(),
                 qPrintable(QString("%1 > %2")
                                .arg(metrics.horizontalAdvance(radio->text()))
                                .arg(room.width())));
    } else if (auto* push = qobject_cast<QPushButton*>(control)) {
        const int margins = 2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, push);
        QVERIFY(metrics.horizontalAdvance(push->text()) <= push->width() - margins);
    } else if (auto* frame = qobject_cast<QGroupBox*>(control)) {
        // The caption is drawn 6 pixels in, on a 2-pixel margin either side.
        QVERIFY(6 + metrics.horizontalAdvance(frame->title()) + 4 <= frame->width());
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        if (label->wordWrap()) {
            const QRect needed = metrics.boundingRect(QRect(0, 0, label->width(), 100000),
                                                      Qt::TextWordWrap, label->text());
            QVERIFY2(needed.height() <= label->height(),
                     qPrintable(QString("%1 > %2").arg(needed.height()).arg(label->height())));
        } else {
            QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(QString("%1 > %2")
                                    .arg(metrics.horizontalAdvance(label->text()))
                                    .arg(label->width())));
        }
    } else {
        QFAIL("no caption measured");
    }
}

void frmQuorvaneTest::designedFontWhenInstalled() {
    const QStringList installed = QFontDatabase::families();
    if (!installed.contains("Liberation Sans") || installed.contains("Microsoft Sans Serif")) {
        QSKIP("Liberation Sans is not installed (fonts-liberation2)");
    }
    Rig rig;
    for (const char* name : {"frmQuorvane", "chkshelltopad", "optcase_0", "lbldrv", "lblstatus",
                             "cmdcountwords", "lblgoplumwick"}) {
        auto* control =
            rig.window->objectName() == name ? rig.window.get() : rig.find<QWidget>(name);
        QCOMPARE(QFontInfo(control->font()).family(), QString("Liberation Sans"));
        QCOMPARE(control->font().pointSizeF(), 8.25);
    }
    QVERIFY(rig.label("lblstatus")->font().bold());
    QVERIFY(rig.find<QLabel>("lblgoplumwick")->font().bold());
}

}  // namespace quorvane

QTEST_MAIN(quorvane::frmQuorvaneTest)
#include "frmQuorvaneTest.moc"

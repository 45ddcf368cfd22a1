#include "window/frmQuorvane.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>

#include <array>

#include "QuorvaneVersion.h"
#include "about/LinkLabel.h"
#include "about/VersionRecord.h"
#include "count/NumberText.h"
#include "documents/ContentSources.h"
#include "platform/DriveList.h"
#include "platform/EventLoop.h"
#include "platform/FileName.h"
#include "platform/FolderListing.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/ProgramStarter.h"
#include "window/BusyIndicator.h"
#include "window/DirListBox.h"
#include "window/DriveListBox.h"
#include "window/FileListBox.h"
#include "window/MenuBarKeys.h"
#include "window/SettingsKeys.h"
#include "window/StateCheckBox.h"
#include "window/frmQuorvaneUi.h"

namespace quorvane {

// One of the six boxes the window keeps between runs: the box, the name it is stored
// under, the report option it turns on (none for the editor option), and the name its
// clicks are traced under.
struct frmQuorvane::Option {
    StateCheckBox* frmQuorvaneUi::*box;
    const char* key;
    bool ReportOptions::*field;
    const char* handler;
};

namespace {

// In the order start-up restores them.
constexpr std::array<frmQuorvane::Option, 6> kOptions = {{
    {&frmQuorvaneUi::chkshelltopad, keys::kShellNotepad, nullptr, "chkshelltopad_Click"},
    {&frmQuorvaneUi::chknumlist, keys::kNumberedList, &ReportOptions::numbered, "chknumlist_Click"},
    {&frmQuorvaneUi::chkdatecreated, keys::kDateCreated, &ReportOptions::dateCreated,
     "chkdatecreated_Click"},
    {&frmQuorvaneUi::chkremext, keys::kRemExt, &ReportOptions::trimExtension, "chkremext_Click"},
    {&frmQuorvaneUi::chkremunderscore, keys::kRemUnderscore, &ReportOptions::underscoresAsSpaces,
     "chkremunderscore_Click"},
    {&frmQuorvaneUi::chkremhyphen, keys::kRemHyphen, &ReportOptions::hyphensAsSpaces,
     "chkremhyphen_Click"},
}};

constexpr const char* kDoneMessage = "done \"output.txt\" File Created!";
constexpr const char* kDoneTitle = "Job Done";
constexpr const char* kNotCountedHeading = "Not counted:";
// The closing message names this many of the files not counted, then says how many more.
constexpr qsizetype kNotCountedShown = 20;

// The stored letter-case button: 1 upper, 2 lower, 3 title; any other number leaves the
// lines untouched.
LetterCase letterCaseOf(int stored) {
    switch (stored) {
        case 1:
            return LetterCase::Upper;
        case 2:
            return LetterCase::Lower;
        case 3:
            return LetterCase::Title;
        default:
            return LetterCase::Untouched;
    }
}

}  // namespace

frmQuorvane::frmQuorvane(Services services, QWidget* parent)
    : QMainWindow(parent),
      settings_(services.clock != nullptr ? *services.clock : SteadyClock::instance()) {
    // The link's message box has no parent window, unlike the window's own: the link gets
    // only what was passed in, and the real services where nothing was.
    linkServices_.opener = services.opener;
    linkServices_.messages = services.messages;
    linkServices_.starter = services.starter;
    if (services.messages == nullptr) {
        ownMessages_ = std::make_unique<WidgetMessageBox>(this);
        services.messages = ownMessages_.get();
    }
    if (services.starter == nullptr) {
        ownStarter_ = std::make_unique<SystemProgramStarter>();
        services.starter = ownStarter_.get();
    }
    if (services.drives == nullptr) {
        ownDrives_ = std::make_unique<MountedDrives>();
        services.drives = ownDrives_.get();
    }
    messages_ = services.messages;
    starter_ = services.starter;
    drives_ = services.drives;
    trace_ = std::move(services.trace);
    countProgress_ = std::move(services.countProgress);

    ui_ = std::make_unique<frmQuorvaneUi>(*drives_);
    ui_->setupUi(this);
    setInitialFolder();
    connectHandlers();
    ui_->Dir1->setFocus();

    Form_Load();
}

frmQuorvane::~frmQuorvane() = default;

int frmQuorvane::px(int twips) const {
    return ui_->px(twips);
}

void frmQuorvane::setInitialFolder() {
    // The lists start on the program's current folder, quietly: start-up decides what
    // is shown and stored.
    const QSignalBlocker quiet(ui_->Dir1);
    if (!ui_->Dir1->setPath(Paths::currentFolder())) {
        ui_->Dir1->setPath(QDir::rootPath());
    }
    ui_->File1->setPath(ui_->Dir1->path());
    ui_->Drive1->setDriveQuietly(ui_->Dir1->path());
    lastFolderOnDrive_.insert(drives_->driveOf(ui_->Dir1->path()), ui_->Dir1->path());
}

void frmQuorvane::connectHandlers() {
    connect(ui_->cmdcountwords, &QPushButton::clicked, this, &frmQuorvane::cmdcountwords_Click);
    for (const Option& option : kOptions) {
        connect(ui_.get()->*option.box, &QCheckBox::stateChanged, this,
                [this, &option] { storeOption(option); });
    }
    connect(ui_->optcaseGroup, &QButtonGroup::idClicked, this,
            [this](int id) { optcase_Click(static_cast<short>(id)); });

    connect(ui_->Drive1, &DriveListBox::driveChanged, this, &frmQuorvane::Drive1_Change);
    connect(ui_->Dir1, &DirListBox::pathChanged, this, &frmQuorvane::Dir1_Change);
    connect(ui_->cmbkey, &QComboBox::activated, this, &frmQuorvane::cmbkey_Click);
    connect(ui_->cmbkey->lineEdit(), &QLineEdit::textEdited, this, &frmQuorvane::cmbkey_Change);
    ui_->cmbkey->installEventFilter(this);
    ui_->cmbkey->lineEdit()->installEventFilter(this);

    connect(ui_->mnuabout, &QAction::triggered, this, &frmQuorvane::mnuabout_Click);
    connect(ui_->mnucountwords, &QAction::triggered, this, &frmQuorvane::mnucountwords_Click);
    // Only the user's own toggles: restoring a state at start-up stores nothing.
    connect(ui_->mnudocumenttext, &QAction::triggered, this,
            &frmQuorvane::mnudocumenttext_Click);
    connect(ui_->mnuwordrule, &QAction::triggered, this, &frmQuorvane::mnuwordrule_Click);
    connect(ui_->lblgoplumwick, &LinkLabel::clicked, this, &frmQuorvane::lblgoplumwick_Click);
    connect(ui_->lblgoplumwick, &LinkLabel::mouseMoved, this,
            &frmQuorvane::lblgoplumwick_MouseMove);

    menuKeys_ = std::make_unique<MenuBarKeys>(menuBar());

    // The indicator runs Timer1 itself: it sets the interval and handles every tick.
    busy_ = new BusyIndicator(ui_->picstatus, ui_->lblstatus, ui_->Timer1,
                              static_cast<float>(15.0 / ui_->scale()), this);
}

void frmQuorvane::trace(const char* handler) const {
    if (trace_) {
        trace_(handler);
    }
}

// ---- Start-up ----

void frmQuorvane::Form_Load() {
    FSO.emplace();
    // From here on a step that fails is skipped and the next one runs.
    restoreFolder();
    setWindowTitle(quorvane::windowTitle(VersionRecord::current()));
    for (const Option& option : kOptions) {
        restoreOption(option);
    }
    restoreCase();
    mnucountwords_Click();
    restoreMenuOption(ui_->mnudocumenttext, keys::kDocumentText);
    restoreMenuOption(ui_->mnuwordrule, keys::kWordRule);
}

void frmQuorvane::restoreFolder() {
    const QString stored =
        settings_.read(keys::kApplication, keys::kPaths, keys::kBrowsePath, QString());
    if (!stored.isEmpty()) {
        ui_->Dir1->setPath(stored);
        ui_->Drive1->setDrive(ui_->Dir1->path());
        return;
    }
    ui_->Drive1->setDrive(Paths::defaultDrive());
}

void frmQuorvane::restoreOption(const Option& option) {
    const QString stored =
        settings_.read(keys::kApplication, keys::kProgram, option.key, QString());
    if (stored.isEmpty()) {
        return;
    }
    if (const std::optional<short> state = toWholeNumber16(stored)) {
        // Raises the box's click handler, which stores it again.
        (ui_.get()->*option.box)->setValue(*state);
    }
}

void frmQuorvane::restoreCase() {
    const QString stored =
        settings_.read(keys::kApplication, keys::kProgram, keys::kOptCase, QString());
    const short index = stored.isEmpty() ? 0 : toWholeNumber16(stored).value_or(0);
    optcase_Click(index);
}

void frmQuorvane::restoreMenuOption(QAction* command, const char* key) {
    const QString stored = settings_.read(keys::kApplication, keys::kProgram, key, QString());
    command->setChecked(toWholeNumber16(stored).value_or(0) == 1);
}

// ---- Options ----

void frmQuorvane::storeOption(const Option& option) {
    trace(option.handler);
    settings_.write(keys::kApplication, keys::kProgram, option.key,
                    QString::number((ui_.get()->*option.box)->value()));
}

bool frmQuorvane::optcase_Click(short Index) {
    trace("optcase_Click");
    if (Index < 0 || Index >= static_cast<short>(ui_->optcase.size())) {
        return false;
    }
    ui_->optcase[Index]->setChecked(true);
    settings_.write(keys::kApplication, keys::kProgram, keys::kOptCase, QString::number(Index));
    return true;
}

void frmQuorvane::storeMenuOption(QAction* command, const char* key, const char* handler) {
    trace(handler);
    settings_.write(keys::kApplication, keys::kProgram, key,
                    command->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void frmQuorvane::mnudocumenttext_Click() {
    storeMenuOption(ui_->mnudocumenttext, keys::kDocumentText, "mnudocumenttext_Click");
}

void frmQuorvane::mnuwordrule_Click() {
    storeMenuOption(ui_->mnuwordrule, keys::kWordRule, "mnuwordrule_Click");
}

// ---- Drive, folder and pattern ----

QString frmQuorvane::currentFolderOf(const QString& drive) const {
    QString last = lastFolderOnDrive_.value(drive);
    if (!last.isEmpty() && FolderListing::isFolder(last)) {
        return last;
    }
    return drives_->currentFolderOf(drive);
}

void frmQuorvane::Drive1_Change() {
    trace("Drive1_Change");
    // A drive that cannot be opened leaves the folder and file lists where they are.
    const QString drive = ui_->Drive1->drive();
    if (drive.isEmpty() || !drives_->isReady(drive)) {
        return;
    }
    ui_->Dir1->setPath(currentFolderOf(drive));
}

void frmQuorvane::Dir1_Change() {
    trace("Dir1_Change");
    const QString opened = ui_->Dir1->path();
    // Remembered first: the drive change below may ask which folder the drive opens in.
    lastFolderOnDrive_.insert(drives_->driveOf(opened), opened);
    ui_->File1->setPattern(ui_->cmbkey->currentText());
    ui_->File1->setPath(opened);
    ui_->Drive1->setDrive(opened);
    settings_.write(keys::kApplication, keys::kPaths, keys::kBrowsePath, ui_->Dir1->path());
}

void frmQuorvane::applyPattern() {
    ui_->File1->setPattern(ui_->cmbkey->currentText());
    ui_->File1->refresh();
}

void frmQuorvane::cmbkey_Click() {
    trace("cmbkey_Click");
    applyPattern();
}

void frmQuorvane::cmbkey_Change() {
    trace("cmbkey_Change");
    applyPattern();
}

void frmQuorvane::cmbkey_KeyDown() {
    trace("cmbkey_KeyDown");
    applyPattern();
}

bool frmQuorvane::eventFilter(QObject* watched, QEvent* event) {
    const bool fromCombo = watched == ui_->cmbkey || watched == ui_->cmbkey->lineEdit();
    if (!fromCombo || event->type() != QEvent::KeyPress || forwardingKey_) {
        return QMainWindow::eventFilter(watched, event);
    }
    const auto* key = static_cast<const QKeyEvent*>(event);
    // Tab moves the focus on before any control sees it as a key.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
        return QMainWindow::eventFilter(watched, event);
    }
    cmbkey_KeyDown();
    if (watched == ui_->cmbkey) {
        return false;
    }
    // A key sent to the line edit itself goes on to the combo when the line edit leaves it
    // alone; deliver it here so that the combo's filter does not raise it a second time.
    const std::unique_ptr<QEvent> copy(event->clone());
    {
        const QScopedValueRollback<bool> forwarding(forwardingKey_, true);
        QCoreApplication::sendEvent(watched, copy.get());
    }
    event->accept();
    return true;
}

// ---- Panels and link ----

void frmQuorvane::mnuabout_Click() {
    ui_->framecountwords->hide();
    ui_->frameabout->show();
    ui_->frameabout->move(0, 0);
    const AboutTexts texts = AboutTexts::build(VersionRecord::current());
    // The version line has one line's room, and grows with the version number.
    ui_->setFittedText(ui_->lblappversion, texts.versionLine);
    ui_->lblappinfo->setText(texts.info);
    ui_->lblappcopyright->setText(texts.copyright);
}

void frmQuorvane::mnucountwords_Click() {
    ui_->frameabout->hide();
    ui_->framecountwords->show();
    ui_->framecountwords->move(0, 0);
}

void frmQuorvane::lblgoplumwick_Click() {
    modpublic::shellopen(linkServices_, QStringLiteral("Open"), QString::fromLatin1(kDownloadPage),
                         QString(), QString(), 1);
}

void frmQuorvane::lblgoplumwick_MouseMove() {
    ui_->lblgoplumwick->startHoverPeriod();
}

// ---- Busy indicator ----

void frmQuorvane::startstatus() {
    busy_->startstatus();
}

void frmQuorvane::endstatus() {
    busy_->endstatus();
}

// ---- Counting ----

void frmQuorvane::cmdcountwords_Click() {
    if (job_ != nullptr) {
        return;  // the button is disabled while a count runs
    }
    ui_->cmdcountwords->setEnabled(false);
    startstatus();

    CountRequest request;
    request.folder = ui_->File1->path();
    request.entries = ui_->File1->entries();
    request.options = [this] { return reportOptions(); };
    request.letterCase = [this] { return letterCase(); };
    request.dateCreated = [this](const QString& path) {
        return FSO ? FSO->dateCreated(path) : QDateTime();
    };
    request.rule = ui_->mnuwordrule->isChecked() ? WordRule::Unicode : WordRule::Classic;
    CountResult result;
    {
        // Gone before the file list is read again, so that the list the job was given is
        // then the file list's alone to let go of.
        CountParts parts;
        parts.makeSource = contentSourceFactory(ui_->mnudocumenttext->isChecked());
        CountJob job(std::move(request), parts);
        job.setYieldCallback([] { EventLoop::yield(); });
        if (countProgress_) {
            job.setProgressCallback(
                [this](const CountProgress& progress) { countProgress_(progress.filesDone); });
        }
        job_ = &job;
        result = job.run();
        job_ = nullptr;
    }
    lastCountResult_ = result;
    finishCount(result);
}

QString frmQuorvane::closingMessage(const QList<NotCounted>& notCounted) {
    QString message = QString::fromLatin1(kDoneMessage);
    if (notCounted.isEmpty()) {
        return message;
    }
    message += QStringLiteral("\n\n") + QString::fromLatin1(kNotCountedHeading);
    const qsizetype shown = qMin(notCounted.size(), kNotCountedShown);
    for (qsizetype i = 0; i < shown; ++i) {
        message += u'\n' + FileName::display(notCounted[i].name);
    }
    if (notCounted.size() > shown) {
        message += QStringLiteral("\nand %1 more").arg(notCounted.size() - shown);
    }
    return message;
}

QString frmQuorvane::reportFailureMessage(const QString& reportPath, const QString& reason) {
    return QStringLiteral("The report \"%1\" could not be written: %2")
        .arg(FileName::display(reportPath), reason);
}

void frmQuorvane::finishCount(const CountResult& result) {
    // The button and the indicator come back before any message, and the editor only
    // once the message is closed.
    if (result.outcome == CountResult::Outcome::Completed) {
        ui_->File1->refresh();
    }
    ui_->cmdcountwords->setEnabled(true);
    endstatus();
    switch (result.outcome) {
        case CountResult::Outcome::Completed:
            // Closed while the report was handed to the disk (a signal to end among the
            // ways): it is complete, and nobody is left to tell.
            if (closed_) {
                break;
            }
            messages_->show(closingMessage(result.notCounted), QString::fromLatin1(kDoneTitle));
            // A window closed while the message was up (a signal to end) opens nothing.
            if (ui_->chkshelltopad->value() == 1 && !closed_) {
                starter_->startEditor(result.reportPath);
            }
            break;
        case CountResult::Outcome::ReportFailed:
            messages_->show(reportFailureMessage(result.reportPath, result.reason),
                            QString::fromLatin1(version::kAppTitle));
            break;
        case CountResult::Outcome::Cancelled:
            break;
    }
}

void frmQuorvane::closeEvent(QCloseEvent* event) {
    // A count still running stops at its next yield and leaves any earlier report as it
    // was; the program ends once it has returned.
    closed_ = true;
    if (job_ != nullptr) {
        job_->cancel();
    }
    event->accept();
}

ReportOptions frmQuorvane::reportOptions() const {
    ReportOptions options;
    for (const Option& option : kOptions) {
        if (option.field != nullptr) {
            // Greyed turns an option on as checked does; only an unchecked box leaves it off.
            options.*option.field = (ui_.get()->*option.box)->value() != 0;
        }
    }
    return options;
}

LetterCase frmQuorvane::letterCase() const {
    static const QString application = QString::fromLatin1(keys::kApplication);
    const quint64 generation = settings_.generation(application);
    if (!storedCase_ || storedCase_->generation != generation) {
        const QString stored =
            settings_.read(application, keys::kProgram, keys::kOptCase, QString());
        storedCase_ = StoredCase{generation, toWholeNumber16(stored).value_or(0)};
    }
    return letterCaseOf(storedCase_->value);
}

}  // namespace quorvane

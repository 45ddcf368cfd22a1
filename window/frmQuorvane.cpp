#include "frmQuorvane.h"

#include <qdrawutil.h>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTimer>

#include <algorithm>

#include "Artwork.h"
#include "BusyIndicator.h"
#include "DirListBox.h"
#include "DriveList.h"
#include "DriveListBox.h"
#include "EventLoop.h"
#include "FileListBox.h"
#include "LinkLabel.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "ProgramStarter.h"
#include "SettingsKeys.h"
#include "StateCheckBox.h"
#include "VersionRecord.h"
#include "modpublic.h"

namespace quorvane {

namespace {

const QString kHelpText = QStringLiteral(
    "The settings below change the format of the output file, i.e. if you wish to remove the "
    "file extension from the report just click \"remove extensions\" ");

QLabel* makeLabel(const QString& text, QWidget* parent, const char* name,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment);
    return label;
}

// A frame with its caption on its top line, where the controls inside were placed to
// leave room for it.
class CaptionFrame : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        const int line = title().isEmpty() ? 0 : metrics.height() / 2;
        qDrawShadeRect(&painter, rect().adjusted(0, line, 0, 0), palette(), true, 1);
        if (!title().isEmpty()) {
            const QRect caption(6, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
            painter.fillRect(caption, palette().window());
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawText(caption, Qt::AlignCenter, title());
        }
    }
};

QGroupBox* makeFrame(const QString& title, QWidget* parent, const char* name) {
    auto* frame = new CaptionFrame(title, parent);
    frame->setObjectName(QLatin1String(name));
    return frame;
}

StateCheckBox* makeCheckBox(const QString& text, QWidget* parent, const char* name) {
    auto* box = new StateCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

}  // namespace

frmQuorvane::frmQuorvane(Services services, QWidget* parent) : QMainWindow(parent) {
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

    if (const QScreen* display = QGuiApplication::primaryScreen()) {
        scale_ = display->logicalDotsPerInch() / 96.0;
    }

    buildWindow();
    setInitialFolder();
    connectHandlers();
    chainTabOrder();
    Dir1->setFocus();

    Form_Load();
}

frmQuorvane::~frmQuorvane() = default;

int frmQuorvane::px(int twips) const {
    return qRound(twips / 15.0 * scale_);
}

void frmQuorvane::place(QWidget* control, int left, int top, int width, int height) const {
    control->setGeometry(px(left), px(top), px(width), px(height));
}

void frmQuorvane::buildWindow() {
    setObjectName(QStringLiteral("frmQuorvane"));
    setWindowTitle(QStringLiteral("Plumwick Quorvane"));
    setWindowIcon(Artwork::windowIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    QFont designed = font();
    designed.setPointSizeF(8.25);
    setFont(designed);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(px(10530), px(5805));
    setCentralWidget(client);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    cmbkey = new QComboBox(client);
    cmbkey->setObjectName(QStringLiteral("cmbkey"));
    cmbkey->setEditable(true);
    cmbkey->addItems({QStringLiteral("*.*"), QStringLiteral("*.txt"), QStringLiteral("*.dat"),
                      QStringLiteral("*.doc")});
    cmbkey->setCurrentIndex(3);
    // Typed text is a pattern of its own: never completed from the list nor added to it.
    cmbkey->setCompleter(nullptr);
    cmbkey->setInsertPolicy(QComboBox::NoInsert);
    place(cmbkey, 720, 360, 2415, 315);

    framecontainer = new QFrame(client);
    framecontainer->setObjectName(QStringLiteral("framecontainer"));
    framecontainer->setFrameShape(QFrame::NoFrame);
    place(framecontainer, 6840, 0, 3615, 5535);
    buildCountingPanel();
    buildAboutPanel();

    File1 = new FileListBox(client);
    File1->setObjectName(QStringLiteral("File1"));
    place(File1, 3240, 0, 3495, 5745);

    Drive1 = new DriveListBox(*drives_, client);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    place(Drive1, 720, 0, 2415, 315);

    Dir1 = new DirListBox(client);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    place(Dir1, 120, 720, 3015, 5040);

    lblgoplumwick = new LinkLabel(QStringLiteral("Click here for most recent version. "), client);
    lblgoplumwick->setObjectName(QStringLiteral("lblgoplumwick"));
    lblgoplumwick->setTextFormat(Qt::PlainText);
    place(lblgoplumwick, 7200, 5520, 3000, 195);

    lblkey = makeLabel(QStringLiteral("Key:"), client, "lblkey", Qt::AlignRight | Qt::AlignTop);
    place(lblkey, 120, 390, 495, 255);
    lbldrv = makeLabel(QStringLiteral("Drive:"), client, "lbldrv", Qt::AlignRight | Qt::AlignTop);
    place(lbldrv, 120, 30, 495, 255);

    mnuabout = menuBar()->addAction(QStringLiteral("About"));
    mnuabout->setObjectName(QStringLiteral("mnuabout"));
    mnucountwords = menuBar()->addAction(QStringLiteral("Count Words"));
    mnucountwords->setObjectName(QStringLiteral("mnucountwords"));

    fitCaptions();
    setFixedSize(client->width(), client->height() + menuBar()->sizeHint().height());
    if (const QScreen* display = screen()) {
        move(display->availableGeometry().center() - rect().center());
    }
}

void frmQuorvane::fitCaptions() {
    // The fixed sizes were made for a narrow 8.25-point font. Where the system's font is
    // wider, a smaller size keeps every caption beside a box, and the link, whole.
    const QStyle* look = style();
    const int box = std::max(look->pixelMetric(QStyle::PM_IndicatorWidth),
                             look->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth)) +
                    std::max(look->pixelMetric(QStyle::PM_CheckBoxLabelSpacing),
                             look->pixelMetric(QStyle::PM_RadioButtonLabelSpacing)) +
                    2;
    const QList<QAbstractButton*> buttons = findChildren<QAbstractButton*>();
    const auto fits = [&](double points) {
        QFont plain = font();
        plain.setPointSizeF(points);
        QFont link = lblgoplumwick->font();
        link.setPointSizeF(points);
        if (QFontMetrics(link).horizontalAdvance(lblgoplumwick->text()) > lblgoplumwick->width()) {
            return false;
        }
        for (const QAbstractButton* button : buttons) {
            const bool beside = qobject_cast<const QCheckBox*>(button) != nullptr ||
                                qobject_cast<const QRadioButton*>(button) != nullptr;
            if (beside &&
                QFontMetrics(plain).horizontalAdvance(button->text()) > button->width() - box) {
                return false;
            }
        }
        return true;
    };
    double points = font().pointSizeF();
    while (points > 6.0 && !fits(points)) {
        points -= 0.25;
    }
    for (QWidget* control : {static_cast<QWidget*>(this), static_cast<QWidget*>(lblgoplumwick),
                             static_cast<QWidget*>(lblstatus)}) {
        QFont sized = control->font();
        sized.setPointSizeF(points);
        control->setFont(sized);
    }
}

void frmQuorvane::buildCountingPanel() {
    framecountwords = makeFrame(QString(), framecontainer, "framecountwords");
    place(framecountwords, 0, 0, 3615, 5295);

    picstatus = new QFrame(framecountwords);
    picstatus->setObjectName(QStringLiteral("picstatus"));
    picstatus->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    picstatus->setFocusPolicy(Qt::TabFocus);
    place(picstatus, 120, 4080, 3375, 255);
    // The block moves in the strip's inner area and is clipped by it.
    auto* strip = new QWidget(picstatus);
    strip->setObjectName(QStringLiteral("picstatus_inner"));
    strip->setGeometry(picstatus->contentsRect());
    lblstatus =
        makeLabel(QStringLiteral("Active"), strip, "lblstatus", Qt::AlignHCenter | Qt::AlignTop);
    QFont bold = lblstatus->font();
    bold.setBold(true);
    lblstatus->setFont(bold);
    lblstatus->setAutoFillBackground(true);
    QPalette looks = lblstatus->palette();
    looks.setColor(QPalette::Window, looks.color(QPalette::Highlight));
    looks.setColor(QPalette::WindowText, looks.color(QPalette::HighlightedText));
    lblstatus->setPalette(looks);
    place(lblstatus, 0, 0, 855, 255);
    lblstatus->hide();

    Frame3 = makeFrame(QStringLiteral("In Report"), framecountwords, "Frame3");
    place(Frame3, 120, 2520, 3375, 855);
    chkdatecreated = makeCheckBox(QStringLiteral("Insert Date Created"), Frame3, "chkdatecreated");
    place(chkdatecreated, 120, 480, 2055, 195);
    chknumlist = makeCheckBox(QStringLiteral("Provide Numbered List"), Frame3, "chknumlist");
    place(chknumlist, 120, 240, 2055, 195);

    Frame1 = makeFrame(QStringLiteral("Format Wording"), framecountwords, "Frame1");
    place(Frame1, 120, 1080, 1575, 1335);
    optcaseGroup_ = new QButtonGroup(this);
    const std::array<QString, 4> captions = {
        QStringLiteral("Untouched"), QStringLiteral("Uppercase"), QStringLiteral("Lowercase "),
        QStringLiteral("Title Case")};
    for (int index = 0; index < 4; ++index) {
        auto* button = new QRadioButton(captions[index], Frame1);
        button->setObjectName(QStringLiteral("optcase_%1").arg(index));
        place(button, 120, 240 + 240 * index, 1215, 255);
        optcaseGroup_->addButton(button, index);
        optcase[index] = button;
    }

    Frame2 = makeFrame(QStringLiteral("Remove"), framecountwords, "Frame2");
    place(Frame2, 1800, 1080, 1695, 1335);
    chkremext = makeCheckBox(QStringLiteral("Extensions"), Frame2, "chkremext");
    place(chkremext, 120, 240, 1095, 195);
    chkremunderscore = makeCheckBox(QStringLiteral("Underscore"), Frame2, "chkremunderscore");
    place(chkremunderscore, 120, 480, 1215, 195);
    chkremhyphen = makeCheckBox(QStringLiteral("Hyphen "), Frame2, "chkremhyphen");
    place(chkremhyphen, 120, 720, 975, 195);

    chkshelltopad = makeCheckBox(QStringLiteral("Show End result in Notepad"), framecountwords,
                                 "chkshelltopad");
    place(chkshelltopad, 240, 3600, 3015, 195);

    cmdcountwords = new QPushButton(QStringLiteral("COUNT WORDS"), framecountwords);
    cmdcountwords->setObjectName(QStringLiteral("cmdcountwords"));
    cmdcountwords->setAutoDefault(false);
    place(cmdcountwords, 960, 4560, 1935, 375);

    Label1 = makeLabel(kHelpText, framecountwords, "Label1");
    Label1->setWordWrap(true);
    place(Label1, 120, 240, 3375, 975);
}

void frmQuorvane::buildAboutPanel() {
    frameabout = makeFrame(QString(), framecontainer, "frameabout");
    place(frameabout, 1320, 1440, 3615, 5295);
    lblappcopyright = makeLabel(QString(), frameabout, "lblappcopyright");
    lblappcopyright->setWordWrap(true);
    place(lblappcopyright, 120, 3000, 3375, 2175);
    lblappinfo = makeLabel(QString(), frameabout, "lblappinfo");
    lblappinfo->setWordWrap(true);
    place(lblappinfo, 120, 600, 3375, 2295);
    lblappversion =
        makeLabel(QString(), frameabout, "lblappversion", Qt::AlignHCenter | Qt::AlignTop);
    place(lblappversion, 240, 240, 3135, 255);
}

void frmQuorvane::setInitialFolder() {
    // The lists start on the program's current folder, quietly: start-up decides what
    // is shown and stored.
    const QSignalBlocker quiet(Dir1);
    if (!Dir1->setPath(QDir::currentPath())) {
        Dir1->setPath(QDir::rootPath());
    }
    File1->setPath(Dir1->path());
    Drive1->setDriveQuietly(Dir1->path());
    lastFolderOnDrive_.insert(drives_->driveOf(Dir1->path()), Dir1->path());
}

void frmQuorvane::connectHandlers() {
    connect(cmdcountwords, &QPushButton::clicked, this, &frmQuorvane::cmdcountwords_Click);
    connect(chkshelltopad, &QCheckBox::stateChanged, this, &frmQuorvane::chkshelltopad_Click);
    connect(chknumlist, &QCheckBox::stateChanged, this, &frmQuorvane::chknumlist_Click);
    connect(chkdatecreated, &QCheckBox::stateChanged, this, &frmQuorvane::chkdatecreated_Click);
    connect(chkremext, &QCheckBox::stateChanged, this, &frmQuorvane::chkremext_Click);
    connect(chkremunderscore, &QCheckBox::stateChanged, this, &frmQuorvane::chkremunderscore_Click);
    connect(chkremhyphen, &QCheckBox::stateChanged, this, &frmQuorvane::chkremhyphen_Click);
    connect(optcaseGroup_, &QButtonGroup::idClicked, this,
            [this](int id) { optcase_Click(static_cast<short>(id)); });
    connect(optcaseGroup_, &QButtonGroup::idToggled, this, &frmQuorvane::keepCaseTabStop);

    connect(Drive1, &DriveListBox::driveChanged, this, &frmQuorvane::Drive1_Change);
    connect(Dir1, &DirListBox::pathChanged, this, &frmQuorvane::Dir1_Change);
    connect(cmbkey, &QComboBox::activated, this, &frmQuorvane::cmbkey_Click);
    connect(cmbkey->lineEdit(), &QLineEdit::textEdited, this, &frmQuorvane::cmbkey_Change);
    cmbkey->installEventFilter(this);
    cmbkey->lineEdit()->installEventFilter(this);

    connect(mnuabout, &QAction::triggered, this, &frmQuorvane::mnuabout_Click);
    connect(mnucountwords, &QAction::triggered, this, &frmQuorvane::mnucountwords_Click);
    connect(lblgoplumwick, &LinkLabel::clicked, this, &frmQuorvane::lblgoplumwick_Click);
    connect(lblgoplumwick, &LinkLabel::mouseMoved, this, &frmQuorvane::lblgoplumwick_MouseMove);

    // The indicator runs Timer1 itself: it sets the interval and handles every tick.
    busy_ =
        new BusyIndicator(picstatus, lblstatus, Timer1, static_cast<float>(15.0 / scale_), this);
}

void frmQuorvane::chainTabOrder() {
    const std::array<QWidget*, 16> order = {
        Dir1,         Drive1,           File1,          cmbkey,     cmdcountwords, chkshelltopad,
        chkremhyphen, chkremunderscore, chkremext,      optcase[3], optcase[2],    optcase[1],
        optcase[0],   chknumlist,       chkdatecreated, picstatus};
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

void frmQuorvane::keepCaseTabStop() {
    // The letter-case group is one stop of the tab order, at its selected button: the
    // others take focus only by a click or the arrow keys. With none selected, Tab enters
    // the group at its first button.
    const bool anySelected = optcaseGroup_->checkedButton() != nullptr;
    for (QRadioButton* button : optcase) {
        const bool stop = !anySelected || button->isChecked();
        button->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
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
    restoreOption(chkshelltopad, keys::kShellNotepad);
    restoreOption(chknumlist, keys::kNumberedList);
    restoreOption(chkdatecreated, keys::kDateCreated);
    restoreOption(chkremext, keys::kRemExt);
    restoreOption(chkremunderscore, keys::kRemUnderscore);
    restoreOption(chkremhyphen, keys::kRemHyphen);
    restoreCase();
    mnucountwords_Click();
}

void frmQuorvane::restoreFolder() {
    const QString stored =
        settings_.read(keys::kApplication, keys::kPaths, keys::kBrowsePath, QString());
    if (!stored.isEmpty()) {
        Dir1->setPath(stored);
        Drive1->setDrive(Dir1->path());
        return;
    }
#ifdef _WIN32
    Drive1->setDrive(QStringLiteral("c:\\"));
#else
    Drive1->setDrive(QDir::rootPath());
#endif
}

void frmQuorvane::restoreOption(StateCheckBox* box, const char* key) {
    const QString stored = settings_.read(keys::kApplication, keys::kProgram, key, QString());
    if (stored.isEmpty()) {
        return;
    }
    if (const std::optional<short> state = toWholeNumber16(stored)) {
        box->setValue(*state);  // raises the box's click handler, which stores it again
    }
}

void frmQuorvane::restoreCase() {
    const QString stored =
        settings_.read(keys::kApplication, keys::kProgram, keys::kOptCase, QString());
    const short index = stored.isEmpty() ? 0 : toWholeNumber16(stored).value_or(0);
    optcase_Click(index);
}

// ---- Options ----

void frmQuorvane::storeOption(const char* key, const StateCheckBox* box) {
    settings_.write(keys::kApplication, keys::kProgram, key, QString::number(box->value()));
}

void frmQuorvane::chkshelltopad_Click() {
    trace("chkshelltopad_Click");
    storeOption(keys::kShellNotepad, chkshelltopad);
}

void frmQuorvane::chknumlist_Click() {
    trace("chknumlist_Click");
    storeOption(keys::kNumberedList, chknumlist);
}

void frmQuorvane::chkdatecreated_Click() {
    trace("chkdatecreated_Click");
    storeOption(keys::kDateCreated, chkdatecreated);
}

void frmQuorvane::chkremext_Click() {
    trace("chkremext_Click");
    storeOption(keys::kRemExt, chkremext);
}

void frmQuorvane::chkremunderscore_Click() {
    trace("chkremunderscore_Click");
    storeOption(keys::kRemUnderscore, chkremunderscore);
}

void frmQuorvane::chkremhyphen_Click() {
    trace("chkremhyphen_Click");
    storeOption(keys::kRemHyphen, chkremhyphen);
}

bool frmQuorvane::optcase_Click(short Index) {
    trace("optcase_Click");
    if (Index < 0 || Index >= static_cast<short>(optcase.size())) {
        return false;
    }
    optcase[Index]->setChecked(true);
    settings_.write(keys::kApplication, keys::kProgram, keys::kOptCase, QString::number(Index));
    return true;
}

// ---- Drive, folder and pattern ----

QString frmQuorvane::currentFolderOf(const QString& drive) const {
    QString last = lastFolderOnDrive_.value(drive);
    if (!last.isEmpty() && QFileInfo(last).isDir()) {
        return last;
    }
    return drives_->currentFolderOf(drive);
}

void frmQuorvane::Drive1_Change() {
    trace("Drive1_Change");
    // A drive that cannot be opened leaves the folder and file lists where they are.
    const QString drive = Drive1->drive();
    if (drive.isEmpty() || !drives_->isReady(drive)) {
        return;
    }
    Dir1->setPath(currentFolderOf(drive));
}

void frmQuorvane::Dir1_Change() {
    trace("Dir1_Change");
    const QString opened = Dir1->path();
    // Remembered first: the drive change below may ask which folder the drive opens in.
    lastFolderOnDrive_.insert(drives_->driveOf(opened), opened);
    File1->setPattern(cmbkey->currentText());
    File1->setPath(opened);
    Drive1->setDrive(opened);
    settings_.write(keys::kApplication, keys::kPaths, keys::kBrowsePath, Dir1->path());
}

void frmQuorvane::applyPattern() {
    File1->setPattern(cmbkey->currentText());
    File1->refresh();
}

void frmQuorvane::cmbkey_Click() {
    trace("cmbkey_Click");
    applyPattern();
}

void frmQuorvane::cmbkey_Change() {
    trace("cmbkey_Change");
    applyPattern();
}

void frmQuorvane::cmbkey_KeyDown(short /*KeyCode*/, short /*Shift*/) {
    trace("cmbkey_KeyDown");
    applyPattern();
}

bool frmQuorvane::eventFilter(QObject* watched, QEvent* event) {
    const bool fromCombo = watched == cmbkey || watched == cmbkey->lineEdit();
    if (!fromCombo || event->type() != QEvent::KeyPress || forwardingKey_) {
        return QMainWindow::eventFilter(watched, event);
    }
    const auto* key = static_cast<const QKeyEvent*>(event);
    // Tab moves the focus on before any control sees it as a key.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
        return QMainWindow::eventFilter(watched, event);
    }
    short shift = 0;
    shift |= key->modifiers().testFlag(Qt::ShiftModifier) ? 1 : 0;
    shift |= key->modifiers().testFlag(Qt::ControlModifier) ? 2 : 0;
    shift |= key->modifiers().testFlag(Qt::AltModifier) ? 4 : 0;
    cmbkey_KeyDown(static_cast<short>(key->key() & 0x7fff), shift);
    if (watched == cmbkey) {
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
    framecountwords->hide();
    frameabout->show();
    frameabout->move(0, 0);
    const AboutTexts texts = AboutTexts::build(VersionRecord::current());
    lblappversion->setText(texts.versionLine);
    lblappinfo->setText(texts.info);
    lblappcopyright->setText(texts.copyright);
}

void frmQuorvane::mnucountwords_Click() {
    frameabout->hide();
    framecountwords->show();
    framecountwords->move(0, 0);
}

void frmQuorvane::lblgoplumwick_Click() {
    modpublic::shellopen(QStringLiteral("Open"), QString::fromLatin1(kDownloadPage), QString(),
                         QString(), 1);
}

void frmQuorvane::lblgoplumwick_MouseMove() {
    lblgoplumwick->startHoverPeriod();
}

// ---- Busy indicator ----

void frmQuorvane::Timer1_Timer() {
    busy_->Timer1_Timer();
}

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
    CountJob job(*this);
    job_ = &job;
    const CountResult result = job.run();
    job_ = nullptr;
    lastCountResult_ = result;
}

void frmQuorvane::closeEvent(QCloseEvent* event) {
    // A count still running stops at its next yield and leaves any earlier report as it
    // was; the program ends once it has returned.
    if (job_ != nullptr) {
        job_->cancel();
    }
    event->accept();
}

QString frmQuorvane::fileListPath() const {
    return File1->path();
}

QStringList frmQuorvane::fileListEntries() const {
    return File1->names();
}

void frmQuorvane::refreshFileList() {
    File1->refresh();
}

void frmQuorvane::setCountButtonEnabled(bool enabled) {
    cmdcountwords->setEnabled(enabled);
}

ReportOptions frmQuorvane::reportOptions() const {
    ReportOptions options;
    options.remext = chkremext->value();
    options.remunderscore = chkremunderscore->value();
    options.remhyphen = chkremhyphen->value();
    options.numlist = chknumlist->value();
    options.datecreated = chkdatecreated->value();
    return options;
}

short frmQuorvane::editorOptionState() const {
    return chkshelltopad->value();
}

QString frmQuorvane::readCaseSetting() const {
    return settings_.read(keys::kApplication, keys::kProgram, keys::kOptCase, QString());
}

QDateTime frmQuorvane::dateCreated(const QString& path) const {
    return FSO ? FSO->dateCreated(path) : QDateTime();
}

void frmQuorvane::showMessage(const QString& prompt, const QString& title) {
    messages_->show(prompt, title);
}

void frmQuorvane::startEditor(const QString& reportPath) {
    starter_->startEditor(reportPath);
}

void frmQuorvane::yieldToEvents() {
    EventLoop::yield();
}

}  // namespace quorvane

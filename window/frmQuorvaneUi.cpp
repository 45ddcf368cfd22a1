#include "window/frmQuorvaneUi.h"

#include <qdrawutil.h>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTimer>

#include <algorithm>

#include "about/Artwork.h"
#include "about/LinkLabel.h"
#include "window/ComboBoxAccessible.h"
#include "window/DirListBox.h"
#include "window/DriveListBox.h"
#include "window/FileListBox.h"
#include "window/StateCheckBox.h"
#include "window/StatusStrip.h"

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

// The boxes were made just wide enough for captions set close to them, as Windows sets
// them; Fusion and other styles leave 6 pixels, and the longest caption ("Extensions")
// would lose its last letter at the designed size.
class CloseCaptionStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        const int own = QProxyStyle::pixelMetric(metric, option, widget);
        if (metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing) {
            return std::min(own, 4);
        }
        return own;
    }
};

// One for the program, shared by every window's boxes, and ended with the application,
// after the windows.
QStyle* closeCaptionStyle() {
    static QPointer<QStyle> shared;
    if (shared == nullptr) {
        shared = new CloseCaptionStyle;
        shared->setParent(QCoreApplication::instance());
    }
    return shared;
}

StateCheckBox* makeCheckBox(const QString& text, QWidget* parent, const char* name) {
    auto* box = new StateCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setStyle(closeCaptionStyle());
    return box;
}

// Faces of the width the window was laid out for, at 8.25 points: Windows' own sans
// serif, else Arial or a face made to Arial's metrics. The first one installed is taken.
constexpr const char* kDesignedFamilies[] = {"Microsoft Sans Serif", "Liberation Sans", "Arimo",
                                             "Arial"};

// Empty when none is installed.
QString designedFamily() {
    const QStringList installed = QFontDatabase::families();
    for (const char* family : kDesignedFamilies) {
        if (installed.contains(QLatin1String(family), Qt::CaseInsensitive)) {
            return QLatin1String(family);
        }
    }
    return {};
}

// What a screen reader says of a control: its name, from its caption or the label beside
// it, and what it does.
void describe(QWidget* control, const QString& name, const QString& description = {}) {
    control->setAccessibleName(name);
    if (!description.isEmpty()) {
        control->setAccessibleDescription(description);
    }
}

}  // namespace

int frmQuorvaneUi::px(int twips) const {
    return qRound(twips / 15.0 * scale_);
}

void frmQuorvaneUi::place(QWidget* control, int left, int top, int width, int height) const {
    control->setGeometry(px(left), px(top), px(width), px(height));
}

void frmQuorvaneUi::setupUi(QMainWindow* window) {
    if (const QScreen* display = QGuiApplication::primaryScreen()) {
        scale_ = display->logicalDotsPerInch() / 96.0;
    }

    window->setObjectName(QStringLiteral("frmQuorvane"));
    window->setWindowIcon(Artwork::windowIcon());
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    ComboBoxAccessible::install();
    const QString family = designedFamily();
    QFont designed = window->font();
    if (!family.isEmpty()) {
        designed.setFamilies({family});
    }
    designed.setPointSizeF(8.25);
    window->setFont(designed);

    auto* client = new QWidget(window);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(px(10530), px(5805));
    window->setCentralWidget(client);

    Timer1 = new QTimer(window);
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
    buildCountingPanel(window);
    buildAboutPanel();

    buildLists(client, family);
    buildMenus(window);

    fitCaptions(window);
    describeControls();
    window->setFixedSize(client->width(),
                         client->height() + window->menuBar()->sizeHint().height());
    if (const QScreen* display = window->screen()) {
        window->move(display->availableGeometry().center() - window->rect().center());
    }

    chainTabOrder();

    // The letter-case group is one stop of the tab order, at its selected button: the
    // others take focus only by a click or the arrow keys. With none selected, Tab enters
    // the group at its first button.
    QObject::connect(optcaseGroup, &QButtonGroup::idToggled, optcaseGroup,
                     [group = optcaseGroup, buttons = optcase] {
                         const bool anySelected = group->checkedButton() != nullptr;
                         for (QRadioButton* button : buttons) {
                             const bool stop = !anySelected || button->isChecked();
                             button->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
                         }
                     });
}

void frmQuorvaneUi::buildLists(QWidget* client, const QString& family) {
    File1 = new FileListBox(client);
    File1->setObjectName(QStringLiteral("File1"));
    place(File1, 3240, 0, 3495, 5745);

    Drive1 = new DriveListBox(drives_, client);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    place(Drive1, 720, 0, 2415, 315);

    Dir1 = new DirListBox(client);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    place(Dir1, 120, 720, 3015, 5040);

    lblgoplumwick = new LinkLabel(QStringLiteral("Click here for most recent version. "), client);
    lblgoplumwick->setObjectName(QStringLiteral("lblgoplumwick"));
    lblgoplumwick->setTextFormat(Qt::PlainText);
    if (!family.isEmpty()) {
        // The link keeps its own size and weight, in the face the window found.
        QFont face = lblgoplumwick->font();
        face.setFamilies({family});
        lblgoplumwick->setFont(face);
    }
    place(lblgoplumwick, 7200, 5520, 3000, 195);

    lblkey = makeLabel(QStringLiteral("Key:"), client, "lblkey", Qt::AlignRight | Qt::AlignTop);
    place(lblkey, 120, 390, 495, 255);
    lbldrv = makeLabel(QStringLiteral("Drive:"), client, "lbldrv", Qt::AlignRight | Qt::AlignTop);
    place(lbldrv, 120, 30, 495, 255);
    lbldrv->setBuddy(Drive1);
    lblkey->setBuddy(cmbkey);
}

void frmQuorvaneUi::buildMenus(QMainWindow* window) {
    mnuabout = window->menuBar()->addAction(QStringLiteral("About"));
    mnuabout->setObjectName(QStringLiteral("mnuabout"));
    mnucountwords = window->menuBar()->addAction(QStringLiteral("Count Words"));
    mnucountwords->setObjectName(QStringLiteral("mnucountwords"));
    mnuoptions = window->menuBar()->addMenu(QStringLiteral("Options"));
    mnuoptions->setObjectName(QStringLiteral("mnuoptions"));
    mnudocumenttext = mnuoptions->addAction(QStringLiteral("Read Document Text"));
    mnudocumenttext->setObjectName(QStringLiteral("mnudocumenttext"));
    mnudocumenttext->setCheckable(true);
    mnuwordrule = mnuoptions->addAction(QStringLiteral("Count Words in Every Script"));
    mnuwordrule->setObjectName(QStringLiteral("mnuwordrule"));
    mnuwordrule->setCheckable(true);
}

void frmQuorvaneUi::fitCaptions(QMainWindow* window) {
    // The fixed sizes were made for a narrow 8.25-point font. Where no face of its width is
    // installed and the system's font is wider, a smaller size keeps every caption beside
    // a box, and the link, whole. A caption has the room its box's style leaves it.
    struct Caption {
        QString text;
        int room;
    };
    QList<Caption> captions;
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        const bool radio = qobject_cast<const QRadioButton*>(button) != nullptr;
        if (!radio && qobject_cast<const QCheckBox*>(button) == nullptr) {
            continue;
        }
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect room = button->style()->subElementRect(
            radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &option, button);
        captions.append({button->text(), room.width()});
    }
    const auto fits = [&](double points) {
        QFont plain = window->font();
        plain.setPointSizeF(points);
        QFont link = lblgoplumwick->font();
        link.setPointSizeF(points);
        if (QFontMetrics(link).horizontalAdvance(lblgoplumwick->text()) > lblgoplumwick->width()) {
            return false;
        }
        return std::all_of(captions.begin(), captions.end(), [&](const Caption& caption) {
            return QFontMetrics(plain).horizontalAdvance(caption.text) <= caption.room;
        });
    };
    double points = window->font().pointSizeF();
    while (points > 6.0 && !fits(points)) {
        points -= 0.25;
    }
    for (QWidget* control : {static_cast<QWidget*>(window), static_cast<QWidget*>(lblgoplumwick),
                             static_cast<QWidget*>(lblstatus)}) {
        QFont sized = control->font();
        sized.setPointSizeF(points);
        control->setFont(sized);
    }
}

void frmQuorvaneUi::setFittedText(QLabel* label, const QString& text) const {
    QFont sized = label->parentWidget()->font();
    const int room = label->contentsRect().width();
    while (sized.pointSizeF() > 6.0 && QFontMetrics(sized).horizontalAdvance(text) > room) {
        sized.setPointSizeF(sized.pointSizeF() - 0.25);
    }
    label->setFont(sized);
    label->setText(text);
}

void frmQuorvaneUi::buildCountingPanel(QMainWindow* window) {
    framecountwords = makeFrame(QString(), framecontainer, "framecountwords");
    place(framecountwords, 0, 0, 3615, 5295);

    picstatus = new StatusStrip(framecountwords);
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
    optcaseGroup = new QButtonGroup(window);
    const std::array<QString, 4> captions = {
        QStringLiteral("Untouched"), QStringLiteral("Uppercase"), QStringLiteral("Lowercase "),
        QStringLiteral("Title Case")};
    for (int index = 0; index < 4; ++index) {
        auto* button = new QRadioButton(captions[index], Frame1);
        button->setObjectName(QStringLiteral("optcase_%1").arg(index));
        button->setStyle(closeCaptionStyle());
        place(button, 120, 240 + 240 * index, 1215, 255);
        optcaseGroup->addButton(button, index);
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

void frmQuorvaneUi::buildAboutPanel() {
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

void frmQuorvaneUi::describeControls() {
    describe(Drive1, QStringLiteral("Drive"), QStringLiteral("The drive whose folders are listed"));
    const QString key = QStringLiteral("Key (file pattern)");
    const QString keyHelp = QStringLiteral(
        "Which files are listed and counted, such as *.txt or *.*; several patterns are "
        "separated by ;");
    describe(cmbkey, key, keyHelp);
    describe(cmbkey->lineEdit(), key, keyHelp);
    describe(Dir1, QStringLiteral("Folders"),
             QStringLiteral("The open folder, the folders above it and its subfolders; Enter "
                            "opens the selected one"));
    describe(File1, QStringLiteral("Files"),
             QStringLiteral("The files of the open folder that match the key, in the order "
                            "they are counted"));

    // Captions end in a blank here and there, which a reader need not hear.
    const QString letterCase = QStringLiteral("Format Wording: the letter case of every line");
    for (QRadioButton* button : optcase) {
        describe(button, button->text().trimmed(), letterCase);
    }
    describe(chkremext, chkremext->text().trimmed(),
             QStringLiteral("Remove: cut each file name at its first full stop"));
    describe(chkremunderscore, chkremunderscore->text().trimmed(),
             QStringLiteral("Remove: turn each _ in the file names into a space"));
    describe(chkremhyphen, chkremhyphen->text().trimmed(),
             QStringLiteral("Remove: turn each - in the file names into a space"));
    describe(chknumlist, chknumlist->text(),
             QStringLiteral("In Report: each line starts with the file's number in the list"));
    describe(chkdatecreated, chkdatecreated->text(),
             QStringLiteral("In Report: each line shows when the file was created"));
    describe(chkshelltopad, chkshelltopad->text(),
             QStringLiteral("Opens the report in the text editor once it is written"));
    describe(cmdcountwords, QStringLiteral("Count Words"),
             QStringLiteral("Counts the words of the listed files into tallix.txt in the "
                            "open folder"));
    describe(picstatus, QStringLiteral("Busy"));
    describe(framecountwords, QStringLiteral("Count Words"));
    describe(frameabout, QStringLiteral("About"));
    describe(lblgoplumwick, lblgoplumwick->text().trimmed(),
             QStringLiteral("Opens the download page in the web browser"));
}

void frmQuorvaneUi::chainTabOrder() {
    const std::array<QWidget*, 16> order = {
        Dir1,         Drive1,           File1,          cmbkey,     cmdcountwords, chkshelltopad,
        chkremhyphen, chkremunderscore, chkremext,      optcase[3], optcase[2],    optcase[1],
        optcase[0],   chknumlist,       chkdatecreated, picstatus};
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

}  // namespace quorvane

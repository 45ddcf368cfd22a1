#include "frmQuorvaneUi.h"

#include <qdrawutil.h>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

#include "Artwork.h"
#include "DirListBox.h"
#include "DriveListBox.h"
#include "FileListBox.h"
#include "LinkLabel.h"
#include "StateCheckBox.h"

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
    window->setWindowTitle(QStringLiteral("Plumwick Quorvane"));
    window->setWindowIcon(Artwork::windowIcon());
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    QFont designed = window->font();
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
    place(lblgoplumwick, 7200, 5520, 3000, 195);

    lblkey = makeLabel(QStringLiteral("Key:"), client, "lblkey", Qt::AlignRight | Qt::AlignTop);
    place(lblkey, 120, 390, 495, 255);
    lbldrv = makeLabel(QStringLiteral("Drive:"), client, "lbldrv", Qt::AlignRight | Qt::AlignTop);
    place(lbldrv, 120, 30, 495, 255);

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

    fitCaptions(window);
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

void frmQuorvaneUi::fitCaptions(QMainWindow* window) {
    // The fixed sizes were made for a narrow 8.25-point font. Where the system's font is
    // wider, a smaller size keeps every caption beside a box, and the link, whole.
    const QStyle* look = window->style();
    const int box = std::max(look->pixelMetric(QStyle::PM_IndicatorWidth),
                             look->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth)) +
                    std::max(look->pixelMetric(QStyle::PM_CheckBoxLabelSpacing),
                             look->pixelMetric(QStyle::PM_RadioButtonLabelSpacing)) +
                    2;
    const QList<QAbstractButton*> buttons = window->findChildren<QAbstractButton*>();
    const auto fits = [&](double points) {
        QFont plain = window->font();
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

void frmQuorvaneUi::buildCountingPanel(QMainWindow* window) {
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
    optcaseGroup = new QButtonGroup(window);
    const std::array<QString, 4> captions = {
        QStringLiteral("Untouched"), QStringLiteral("Uppercase"), QStringLiteral("Lowercase "),
        QStringLiteral("Title Case")};
    for (int index = 0; index < 4; ++index) {
        auto* button = new QRadioButton(captions[index], Frame1);
        button->setObjectName(QStringLiteral("optcase_%1").arg(index));
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

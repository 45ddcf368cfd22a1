#pragma once

#include <array>

#include <QString>

class QAction;
class QButtonGroup;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMainWindow;
class QMenu;
class QPushButton;
class QRadioButton;
class QTimer;
class QWidget;

namespace quorvane {

class DirListBox;
class DriveList;
class DriveListBox;
class FileListBox;
class LinkLabel;
class StateCheckBox;

// The window's controls and their layout, and nothing of what they do: setupUi builds
// them on a window, each named by its objectName, and this object only points at them.
// Sizes are designed in twips and shown in pixels for the primary screen.
class frmQuorvaneUi {
public:
    // drives: what Drive1 lists; it must outlive the window.
    explicit frmQuorvaneUi(const DriveList& drives) : drives_(drives) {}

    void setupUi(QMainWindow* window);

    // Twips to pixels on the primary screen; valid once setupUi has run.
    int px(int twips) const;
    // Logical dots per inch / 96.
    double scale() const { return scale_; }
    // Sets a one-line label's text, in a smaller size where it would not fit whole at the
    // window's own.
    void setFittedText(QLabel* label, const QString& text) const;

    DriveListBox* Drive1 = nullptr;
    DirListBox* Dir1 = nullptr;
    FileListBox* File1 = nullptr;
    QComboBox* cmbkey = nullptr;
    QLabel* lbldrv = nullptr;
    QLabel* lblkey = nullptr;
    QFrame* framecontainer = nullptr;
    QGroupBox* framecountwords = nullptr;
    QLabel* Label1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    std::array<QRadioButton*, 4> optcase{};
    QButtonGroup* optcaseGroup = nullptr;
    QGroupBox* Frame2 = nullptr;
    StateCheckBox* chkremext = nullptr;
    StateCheckBox* chkremunderscore = nullptr;
    StateCheckBox* chkremhyphen = nullptr;
    QGroupBox* Frame3 = nullptr;
    StateCheckBox* chknumlist = nullptr;
    StateCheckBox* chkdatecreated = nullptr;
    StateCheckBox* chkshelltopad = nullptr;
    QFrame* picstatus = nullptr;
    QLabel* lblstatus = nullptr;
    QPushButton* cmdcountwords = nullptr;
    QGroupBox* frameabout = nullptr;
    QLabel* lblappversion = nullptr;
    QLabel* lblappinfo = nullptr;
    QLabel* lblappcopyright = nullptr;
    LinkLabel* lblgoplumwick = nullptr;
    QTimer* Timer1 = nullptr;
    QAction* mnuabout = nullptr;
    QAction* mnucountwords = nullptr;
    QMenu* mnuoptions = nullptr;
    QAction* mnudocumenttext = nullptr;
    QAction* mnuwordrule = nullptr;

private:
    void buildCountingPanel(QMainWindow* window);
    void buildAboutPanel();
    // The drive, folder and file lists with their labels, and the download link; family is
    // the face the window found for its designed font, empty when none.
    void buildLists(QWidget* client, const QString& family);
    void buildMenus(QMainWindow* window);
    void fitCaptions(QMainWindow* window);
    void describeControls();
    void chainTabOrder();
    void place(QWidget* control, int left, int top, int width, int height) const;

    const DriveList& drives_;
    double scale_ = 1.0;
};

}  // namespace quorvane

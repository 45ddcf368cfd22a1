#pragma once

#include <QHash>
#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "CountHost.h"
#include "CountJob.h"
#include "CreationDates.h"
#include "Services.h"
#include "SettingsStore.h"

class QAction;
class QButtonGroup;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;

namespace quorvane {

class BusyIndicator;
class DirListBox;
class DriveListBox;
class FileListBox;
class LinkLabel;
class StateCheckBox;

// The program's one window: drive, folder, pattern and file lists on the left, the
// counting panel or the About panel on the right, the download link below them.
class frmQuorvane : public QMainWindow, private CountHost {
    Q_OBJECT
public:
    explicit frmQuorvane(Services services = {}, QWidget* parent = nullptr);
    ~frmQuorvane() override;

    // Start-up, run once by the constructor.
    void Form_Load();

    void cmdcountwords_Click();

    void chkshelltopad_Click();
    void chknumlist_Click();
    void chkdatecreated_Click();
    void chkremext_Click();
    void chkremunderscore_Click();
    void chkremhyphen_Click();
    // Selects a letter case and stores it; false, storing nothing, for an index without
    // a button.
    bool optcase_Click(short Index);

    void Drive1_Change();
    void Dir1_Change();
    void cmbkey_Click();
    void cmbkey_Change();
    void cmbkey_KeyDown(short KeyCode, short Shift);

    void mnuabout_Click();
    void mnucountwords_Click();
    void lblgoplumwick_Click();
    void lblgoplumwick_MouseMove();

    // One tick of the busy indicator, which drives Timer1 itself.
    void Timer1_Timer();
    void startstatus() override;
    void endstatus() override;

    BusyIndicator* busyIndicator() const { return busy_; }

    // The folder Dir1 opens when a drive is picked: the folder last opened on that drive
    // while the program runs, else the drive's own current folder.
    QString currentFolderOf(const QString& drive) const;

    bool countRunning() const { return job_ != nullptr; }
    // The outcome of the last finished count, if any.
    const std::optional<CountResult>& lastCountResult() const { return lastCountResult_; }

    // Twips to pixels on this window's screen.
    int px(int twips) const;

    // The controls.
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

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void buildCountingPanel();
    void buildAboutPanel();
    void fitCaptions();
    void setInitialFolder();
    void connectHandlers();
    void chainTabOrder();
    void keepCaseTabStop();
    void place(QWidget* control, int left, int top, int width, int height) const;

    void restoreFolder();
    void restoreOption(StateCheckBox* box, const char* key);
    void restoreCase();
    void storeOption(const char* key, const StateCheckBox* box);
    void applyPattern();
    void trace(const char* handler) const;

    // CountHost: what a count needs of the window.
    QString fileListPath() const override;
    QStringList fileListEntries() const override;
    void refreshFileList() override;
    void setCountButtonEnabled(bool enabled) override;
    ReportOptions reportOptions() const override;
    short editorOptionState() const override;
    QString readCaseSetting() const override;
    QDateTime dateCreated(const QString& path) const override;
    void showMessage(const QString& prompt, const QString& title) override;
    void startEditor(const QString& reportPath) override;
    void yieldToEvents() override;

    std::unique_ptr<MessageBox> ownMessages_;
    std::unique_ptr<ProgramStarter> ownStarter_;
    std::unique_ptr<DriveList> ownDrives_;
    MessageBox* messages_ = nullptr;
    ProgramStarter* starter_ = nullptr;
    DriveList* drives_ = nullptr;

    SettingsStore settings_;
    // The file-system object a count asks for creation dates; created by start-up.
    std::optional<CreationDates> FSO;

    double scale_ = 1.0;  // logical dots per inch / 96
    QButtonGroup* optcaseGroup_ = nullptr;
    BusyIndicator* busy_ = nullptr;
    QHash<QString, QString> lastFolderOnDrive_;
    bool forwardingKey_ = false;

    CountJob* job_ = nullptr;
    std::optional<CountResult> lastCountResult_;
    std::function<void(const char*)> trace_;
};

}  // namespace quorvane

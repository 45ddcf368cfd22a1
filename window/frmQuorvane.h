#pragma once

#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

#include "about/modpublic.h"
#include "count/CountJob.h"
#include "platform/CreationDates.h"
#include "platform/SettingsStore.h"
#include "window/Services.h"

namespace quorvane {

class BusyIndicator;
class MenuBarKeys;
class frmQuorvaneUi;

// The program's one window: drive, folder, pattern and file lists on the left, the
// counting panel or the About panel on the right, the download link below them. The
// controls and their layout are frmQuorvaneUi's; this class is what they do. Its controls
// are found by their names (findChild), each the control's objectName.
class frmQuorvane : public QMainWindow {
    Q_OBJECT
public:
    explicit frmQuorvane(Services services = {}, QWidget* parent = nullptr);
    ~frmQuorvane() override;

    // Start-up, run once by the constructor.
    void Form_Load();

    void cmdcountwords_Click();

    // Selects a letter case and stores it; false, storing nothing, for an index without
    // a button.
    bool optcase_Click(short Index);

    void Drive1_Change();
    void Dir1_Change();
    void cmbkey_Click();
    void cmbkey_Change();
    // A key pressed in the pattern box, before the box acts on it: the file list is read
    // again with the pattern as it stands.
    void cmbkey_KeyDown();

    void mnuabout_Click();
    void mnucountwords_Click();
    // The Options menu's commands: each stores its new state at once.
    void mnudocumenttext_Click();
    void mnuwordrule_Click();
    void lblgoplumwick_Click();
    void lblgoplumwick_MouseMove();

    void startstatus();
    void endstatus();

    BusyIndicator* busyIndicator() const { return busy_; }

    // The folder Dir1 opens when a drive is picked: the folder last opened on that drive
    // while the program runs, else the drive's own current folder.
    QString currentFolderOf(const QString& drive) const;

    bool countRunning() const { return job_ != nullptr; }
    // The outcome of the last finished count, if any.
    const std::optional<CountResult>& lastCountResult() const { return lastCountResult_; }

    // Twips to pixels on the primary screen.
    int px(int twips) const;

    // A row of the window's table of the options it keeps between runs.
    struct Option;

    // What a finished count says: the report is done, and the first files it could not
    // read.
    static QString closingMessage(const QList<NotCounted>& notCounted);
    // What a report that could not be written says: its path and the system's reason.
    static QString reportFailureMessage(const QString& reportPath, const QString& reason);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setInitialFolder();
    void connectHandlers();

    void restoreFolder();
    void restoreOption(const Option& option);
    void restoreCase();
    void restoreMenuOption(QAction* command, const char* key);
    void storeMenuOption(QAction* command, const char* key, const char* handler);
    void storeOption(const Option& option);
    void applyPattern();
    void trace(const char* handler) const;

    // What a count reads of the window as it builds each line.
    ReportOptions reportOptions() const;
    LetterCase letterCase() const;
    void finishCount(const CountResult& result);

    std::unique_ptr<MessageBox> ownMessages_;
    std::unique_ptr<ProgramStarter> ownStarter_;
    std::unique_ptr<DriveList> ownDrives_;
    MessageBox* messages_ = nullptr;
    ProgramStarter* starter_ = nullptr;
    DriveList* drives_ = nullptr;
    // What the download link opens its page through; null members are the real ones.
    modpublic::Services linkServices_;
    std::unique_ptr<frmQuorvaneUi> ui_;
    // F10 and Alt reach About, Count Words and Options without a mouse.
    std::unique_ptr<MenuBarKeys> menuKeys_;

    SettingsStore settings_;
    // The stored letter case as last read, and the store's generation it was read at: a
    // count asks for it once per line.
    struct StoredCase {
        quint64 generation = 0;
        int value = 0;
    };
    mutable std::optional<StoredCase> storedCase_;
    // The file-system object a count asks for creation dates; created by start-up.
    std::optional<CreationDates> FSO;

    BusyIndicator* busy_ = nullptr;
    QHash<QString, QString> lastFolderOnDrive_;
    bool forwardingKey_ = false;

    CountJob* job_ = nullptr;
    bool closed_ = false;
    std::optional<CountResult> lastCountResult_;
    std::function<void(const char*)> trace_;
    std::function<void(qint64)> countProgress_;
};

}  // namespace quorvane

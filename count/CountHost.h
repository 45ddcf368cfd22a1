#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "ReportLine.h"

namespace quorvane {

// What a count job needs from the program that runs it. The window implements it for
// "COUNT WORDS"; the headless counter and the tests implement it too.
class CountHost {
public:
    virtual ~CountHost() = default;

    // File1: the folder it shows, its entries in list order, and a re-read of the folder.
    virtual QString fileListPath() const = 0;
    virtual QStringList fileListEntries() const = 0;
    virtual void refreshFileList() = 0;

    // cmdcountwords.Enabled
    virtual void setCountButtonEnabled(bool enabled) = 0;

    // The busy indicator.
    virtual void startstatus() = 0;
    virtual void endstatus() = 0;

    // The five report options' check-box states, read afresh for every line.
    virtual ReportOptions reportOptions() const = 0;
    // chkshelltopad's state (0, 1 or 2); read once, at the end of a run.
    virtual short editorOptionState() const = 0;
    // The stored letter case: settings "Harvex", section "program", key "OptCaseInteger",
    // default empty text. Read afresh for every line.
    virtual QString readCaseSetting() const = 0;

    // The file's creation date-time in local time (invalid when unknown).
    virtual QDateTime dateCreated(const QString& path) const = 0;

    // Modal message with a single OK button and no icon.
    virtual void showMessage(const QString& prompt, const QString& title) = 0;

    // Opens the finished report in the text editor, without waiting for it.
    virtual void startEditor(const QString& reportPath) = 0;

    // Lets the host handle its pending events once.
    virtual void yieldToEvents() = 0;
};

}  // namespace quorvane

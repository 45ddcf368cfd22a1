#include "about/modpublic.h"

#include "QuorvaneVersion.h"
#include "platform/DesktopOpener.h"
#include "platform/MessageBox.h"
#include "platform/ProgramStarter.h"

#include <QApplication>
#include <QFileDialog>

#include <utility>

namespace quorvane {

namespace {

DesktopOpener& realOpener() {
    static SystemDesktopOpener opener;
    return opener;
}

MessageBox& realMessages() {
    static WidgetMessageBox messages;
    return messages;
}

ProgramStarter& realStarter() {
    static SystemProgramStarter starter;
    return starter;
}

}  // namespace

void modpublic::chooseProgramWithDialog(const QString& /*target*/, ProgramChosen done) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return;
    }
    // A modal dialog would run its own event loop inside the caller, and the count job only
    // moves on when the caller returns; so the dialog is shown and the caller goes on.
    auto* dialog = new QFileDialog(QApplication::activeWindow(), QString::fromUtf8(kOpenWithTitle),
                                   QString::fromUtf8(kProgramFolder));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Closing the main window ends the program even while the dialog is still open.
    dialog->setAttribute(Qt::WA_QuitOnClose, false);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setWindowModality(Qt::NonModal);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog,
                     [done = std::move(done)](const QString& program) {
                         if (!program.isEmpty()) {
                             done(program);
                         }
                     });
    dialog->show();
}

void modpublic::shellopen(const Services& services, const QString& operation, const QString& target,
                          const QString& parameters, const QString& directory, int showcommand) {
    DesktopOpener& opener = services.opener ? *services.opener : realOpener();
    if (opener.open(operation, target, parameters, directory, showcommand)) {
        return;
    }

    MessageBox& messages = services.messages ? *services.messages : realMessages();
    messages.show(QString::fromUtf8(kFallbackMessage), QString::fromUtf8(version::kAppTitle));

    ProgramStarter& starter = services.starter ? *services.starter : realStarter();
    if (opener.hasSystemOpenWith()) {
        // The system's own Open With dialog; the target goes in as it came, unquoted.
        starter.startCommandLine(QString::fromUtf8(kOpenWithPrefix) + target, 1);
        return;
    }
    // No system-wide Open With dialog exists here, so the user picks the program. The pick
    // comes after shellopen has returned and goes to the starter of this call. The target is
    // handed over as one argument, never through a shell.
    ProgramChosen start = [starter = &starter, target](const QString& program) {
        if (!program.isEmpty()) {
            starter->startProgram(program, {target});
        }
    };
    if (services.chooseProgram) {
        services.chooseProgram(target, std::move(start));
    } else {
        chooseProgramWithDialog(target, std::move(start));
    }
}

}  // namespace quorvane

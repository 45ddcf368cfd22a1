#include "modpublic.h"

#include "DesktopOpener.h"
#include "MessageBox.h"
#include "ProgramStarter.h"
#include "QuorvaneVersion.h"

#include <QFileDialog>

namespace quorvane {

namespace {

modpublic::Services& injected() {
    static modpublic::Services services;
    return services;
}

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

modpublic::Services modpublic::setServices(const Services& services) {
    Services previous = injected();
    injected() = services;
    return previous;
}

QString modpublic::chooseProgramWithDialog(const QString& /*target*/) {
    return QFileDialog::getOpenFileName(nullptr, QString::fromUtf8(kOpenWithTitle),
                                        QString::fromUtf8(kProgramFolder));
}

void modpublic::shellopen(const QString& operation, const QString& target,
                          const QString& parameters, const QString& directory, int showcommand) {
    const Services& s = injected();
    DesktopOpener& opener = s.opener ? *s.opener : realOpener();
    if (opener.open(operation, target, parameters, directory, showcommand)) {
        return;
    }

    MessageBox& messages = s.messages ? *s.messages : realMessages();
    messages.show(QString::fromUtf8(kFallbackMessage), QString::fromUtf8(version::kAppTitle));

    ProgramStarter& starter = s.starter ? *s.starter : realStarter();
#ifdef _WIN32
    // The system's own Open With dialog; the target goes in as it came, unquoted.
    starter.startCommandLine(QString::fromUtf8(kOpenWithPrefix) + target, 1);
#else
    // No system-wide Open With dialog exists here, so the user picks the program. The
    // target is handed over as one argument, never through a shell.
    const QString program =
        s.chooseProgram ? s.chooseProgram(target) : chooseProgramWithDialog(target);
    if (!program.isEmpty()) {
        starter.startProgram(program, {target});
    }
#endif
}

}  // namespace quorvane

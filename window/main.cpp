#include <QApplication>

#include "platform/TerminationSignals.h"
#include "window/frmQuorvane.h"

int main(int argc, char* argv[]) {
    // First of all, so that a signal that comes while the window is being built still waits
    // for the event loop instead of killing the program.
    quorvane::TerminationSignals::install();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setOrganizationName(QStringLiteral("Plumwick"));
    quorvane::frmQuorvane window;
    quorvane::TerminationNotifier termination;
    QObject::connect(&termination, &quorvane::TerminationNotifier::received, &window,
                     [&window](int signal) {
                         // As if the user closed the window: a running count is cancelled and
                         // its temporary report removed. Leaving every event loop as well ends
                         // an open message box, which would otherwise keep the program alive.
                         window.close();
                         QCoreApplication::exit(
                             quorvane::TerminationSignals::exitStatusFor(signal));
                     });
    window.show();
    const int status = QApplication::exec();
    const int signal = quorvane::TerminationSignals::caught();
    return signal != 0 ? quorvane::TerminationSignals::exitStatusFor(signal) : status;
}

// Times what a large folder costs outside the counter itself: listing it, and a whole
// count run in the window (offscreen), with the longest time the window went without
// handling its events.
// Usage: bench_folder [--show] FOLDER   (a scratch XDG_CONFIG_HOME: the window stores the
// folder it opens). Offscreen (QT_QPA_PLATFORM=offscreen) it times the window's work
// alone; --show under an X server (xvfb-run) shows the window first and waits until it is
// on screen, so every repaint and list update goes to the server as a user's would.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/FolderListing.h"
#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"
#include "window/SettingsKeys.h"
#include "window/frmQuorvane.h"

using namespace quorvane;

namespace {

// The closing message must not wait for a click.
class SilentMessages : public MessageBox {
public:
    void show(const QString&, const QString&) override {}
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool show = argc > 2 && qstrcmp(argv[1], "--show") == 0;
    if (argc < 2 || (argc > 2 && !show)) {
        std::fprintf(stderr, "usage: bench_folder [--show] FOLDER\n");
        return 1;
    }
    const QString folder = QString::fromLocal8Bit(argv[argc - 1]);

    QElapsedTimer timer;
    timer.start();
    const FolderList listing = FolderListing::list(folder, QStringLiteral("*.*"));
    std::printf("listing: %lld files in %.3f s\n", static_cast<long long>(listing.names.size()),
                timer.nsecsElapsed() / 1e9);

    SettingsStore().write(QString::fromLatin1(keys::kApplication),
                          QString::fromLatin1(keys::kPaths), QString::fromLatin1(keys::kBrowsePath),
                          folder);
    SilentMessages messages;
    Services services;
    services.messages = &messages;
    frmQuorvane window(services);
    if (show) {
        window.show();
        QElapsedTimer waited;
        waited.start();
        while ((window.windowHandle() == nullptr || !window.windowHandle()->isExposed()) &&
               waited.elapsed() < 5000) {
            app.processEvents(QEventLoop::AllEvents, 50);
        }
    }
    // Picked from the list, as a user would: the file list follows.
    auto* pattern = window.findChild<QComboBox*>(QStringLiteral("cmbkey"));
    pattern->setCurrentIndex(pattern->findText(QStringLiteral("*.*")));
    emit pattern->activated(pattern->currentIndex());
    // A user's click is itself an event: it comes once the list it follows is laid out and
    // shown, not in the middle of that work.
    app.processEvents(QEventLoop::AllEvents, 1000);
    auto* button = window.findChild<QAbstractButton*>(QStringLiteral("cmdcountwords"));

    // A timer that fires whenever the window handles its events: the longest stretch
    // between two firings is the longest the window was held.
    QElapsedTimer sinceEvents;
    qint64 longestNs = 0;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longestNs = qMax(longestNs, sinceEvents.nsecsElapsed());
        sinceEvents.restart();
    });
    probe.start();
    // The median of three runs; the longest hold of all.
    std::array<double, 3> seconds{};
    for (double& taken : seconds) {
        timer.restart();
        sinceEvents.start();
        button->click();  // runs the whole count, handling events as it goes
        taken = timer.nsecsElapsed() / 1e9;
        longestNs = qMax(longestNs, sinceEvents.nsecsElapsed());
    }
    std::sort(seconds.begin(), seconds.end());
    const auto* files = window.findChild<QWidget*>(QStringLiteral("File1"));
    std::printf("window run: %.3f s, median of 3 (%s)\n", seconds[1],
                files != nullptr ? "counted the files File1 lists" : "no file list");
    std::printf("longest without handling events: %.2f ms\n", longestNs / 1e6);
    return 0;
}

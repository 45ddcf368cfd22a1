#include "platform/DriveWatcher.h"

#include <QFileSystemWatcher>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include "platform/FileName.h"

namespace quorvane {

// The kernel marks an open mount table as exceptional (POLLPRI) each time a mount is
// added or removed in the program's namespace; polling it takes the mark off, so nothing
// of the table needs to be read here. Any other file gets no such mark and is watched for
// writes.
struct DriveWatcher::Source {
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<QFileSystemWatcher> writes;

    ~Source() {
        notifier.reset();
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

namespace {

bool keptByTheKernel(const QString& table) {
    return table.startsWith(QLatin1String("/proc/"));
}

}  // namespace

DriveWatcher::DriveWatcher(const QString& mountTable, QObject* parent)
    : QObject(parent), source_(std::make_unique<Source>()) {
    const QString table = mountTable.isEmpty() ? QStringLiteral("/proc/self/mounts") : mountTable;
    if (!keptByTheKernel(table)) {
        source_->writes = std::make_unique<QFileSystemWatcher>(QStringList{table});
        connect(source_->writes.get(), &QFileSystemWatcher::fileChanged, this,
                [this](const QString& path) {
                    // A file replaced by a new one (as editors save) leaves the watch.
                    if (!source_->writes->files().contains(path)) {
                        source_->writes->addPath(path);
                    }
                    emit changed();
                });
        return;
    }
    source_->fd = ::open(FileName::toNative(table).constData(), O_RDONLY | O_CLOEXEC);
    if (source_->fd < 0) {
        return;  // no table to watch: the drives stay as first read
    }
    source_->notifier = std::make_unique<QSocketNotifier>(source_->fd, QSocketNotifier::Exception);
    connect(source_->notifier.get(), &QSocketNotifier::activated, this, &DriveWatcher::changed);
}

DriveWatcher::~DriveWatcher() = default;

void DriveWatcher::notifyChanged() {
    emit changed();
}

}  // namespace quorvane

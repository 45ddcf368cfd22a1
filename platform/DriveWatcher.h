#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace quorvane {

// Tells when the system's drives may have changed: a file system mounted or unmounted, a
// medium put in or taken out. One file per system in posix/ and win/.
class DriveWatcher : public QObject {
    Q_OBJECT
public:
    // mountTable: the Linux mount table to watch, /proc/self/mounts when empty. Another
    // file may stand in for it: a table that the kernel does not keep is watched for
    // writes instead. Windows ignores it.
    explicit DriveWatcher(const QString& mountTable = {}, QObject* parent = nullptr);
    ~DriveWatcher() override;

    // Says changed() now, whether or not the system told of a change; for a caller that
    // learned of one by other means.
    void notifyChanged();

signals:
    void changed();

private:
    struct Source;
    std::unique_ptr<Source> source_;
};

}  // namespace quorvane

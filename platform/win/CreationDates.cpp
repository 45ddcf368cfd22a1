#include "platform/CreationDates.h"

#include <QFileInfo>

namespace quorvane {

QDateTime CreationDates::dateCreated(const QString& path) const {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        return {};
    }
    // Some file systems keep no birth time.
    const QDateTime born = info.birthTime();
    return born.isValid() ? born.toLocalTime() : info.lastModified().toLocalTime();
}

}  // namespace quorvane

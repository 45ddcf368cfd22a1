#pragma once

#include <QDateTime>
#include <QString>

namespace quorvane {

// The file-system object the count job asks for creation dates: the file's birth time
// where the file system records one, else its last modification; local time. Invalid
// when the file cannot be examined.
class CreationDates {
public:
    QDateTime dateCreated(const QString& path) const;
};

}  // namespace quorvane

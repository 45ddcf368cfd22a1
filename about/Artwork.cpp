#include "about/Artwork.h"

#include <QPixmap>

namespace quorvane {

QIcon Artwork::windowIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 128}) {
        icon.addFile(QString::fromUtf8(kIconPathPattern).arg(size), QSize(size, size));
    }
    return icon;
}

QCursor Artwork::handCursor() {
    const QPixmap hand(QString::fromUtf8(kHandPath));
    if (hand.isNull()) {
        return QCursor(Qt::PointingHandCursor);
    }
    return QCursor(hand, kHandHotX, kHandHotY);
}

}  // namespace quorvane

#pragma once

#include <QCursor>
#include <QIcon>

namespace quorvane {

// The program's own pictures, built in as resources.
class Artwork {
public:
    static QIcon windowIcon();   // 16 x 16
    static QCursor handCursor(); // 32 x 32, hot spot at the fingertip (12, 1)
};

}  // namespace quorvane

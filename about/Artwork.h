#pragma once

#include <QCursor>
#include <QIcon>

namespace quorvane {

// The program's own pictures, built in as resources.
class Artwork {
public:
    static QIcon windowIcon();    // 16 x 16, with larger drawings for desktops that want them
    static QCursor handCursor();  // 32 x 32, hot spot at the fingertip (12, 1)

    static constexpr int kHandHotX = 12;
    static constexpr int kHandHotY = 1;
    static constexpr const char* kHandPath = ":/quorvane/hand.png";
    static constexpr const char* kIconPathPattern = ":/quorvane/quorvane-%1.png";
};

}  // namespace quorvane

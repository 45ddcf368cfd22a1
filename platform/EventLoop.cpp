#include "platform/EventLoop.h"

#include <QCoreApplication>

namespace quorvane {

void EventLoop::yield() {
    // Without an application object (headless runs) there is nothing to handle.
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents();
    }
}

}  // namespace quorvane

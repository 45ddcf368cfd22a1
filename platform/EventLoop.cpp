// Placeholder; being implemented.
#include "EventLoop.h"
#include <QCoreApplication>
namespace quorvane {
void EventLoop::yield() { QCoreApplication::processEvents(); }
}

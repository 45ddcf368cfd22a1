#pragma once

namespace quorvane {

// Handles the pending window events once and returns.
class EventLoop {
public:
    static void yield();
};

}  // namespace quorvane

#include "platform/Clock.h"

namespace quorvane {

const Clock& SteadyClock::instance() {
    static const SteadyClock clock;
    return clock;
}

}  // namespace quorvane

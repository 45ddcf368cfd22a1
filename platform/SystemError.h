#pragma once

#include <QString>

namespace quorvane {

// The system's own words for an error number, as the user's system shows them.
class SystemError {
public:
    static QString text(int code) { return qt_error_string(code); }
};

}  // namespace quorvane

#pragma once

#include <QString>

#include <optional>

namespace quorvane {

// Converts stored text to a 16-bit whole number the way stored option values are read:
// decimal, optional sign, optional fraction and exponent, blanks around it allowed;
// rounded half to even; anything else, or a value outside -32768..32767, fails.
std::optional<short> toWholeNumber16(const QString& text);

}  // namespace quorvane

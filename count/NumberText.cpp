// Placeholder; being implemented.
#include "NumberText.h"
namespace quorvane {
std::optional<short> toWholeNumber16(const QString&) { return std::nullopt; }
}

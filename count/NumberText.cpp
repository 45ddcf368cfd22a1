#include "NumberText.h"

#include <QRegularExpression>

#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace quorvane {

std::optional<short> toWholeNumber16(const QString& text) {
    // Plain decimal only: no hexadecimal, no digit grouping, no locale's decimal comma,
    // no "inf" or "nan", which a general-purpose number parser would accept.
    static const QRegularExpression decimal(
        QStringLiteral("^[+-]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?$"));
    const QString trimmed = text.trimmed();
    if (!decimal.match(trimmed).hasMatch()) {
        return std::nullopt;
    }
    const QByteArray latin = trimmed.toLatin1();
    const double value = std::strtod(latin.constData(), nullptr);
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    // Halves go to the even neighbour: 2.5 -> 2, 3.5 -> 4.
    const int oldMode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(oldMode);
    if (rounded < std::numeric_limits<short>::min() ||
        rounded > std::numeric_limits<short>::max()) {
        return std::nullopt;
    }
    return static_cast<short>(rounded);
}

}  // namespace quorvane

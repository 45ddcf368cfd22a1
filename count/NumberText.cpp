#include "count/NumberText.h"

#include <QRegularExpression>

#include <cfenv>
#include <charconv>
#include <cmath>
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
    // from_chars, unlike strtod, ignores the C locale that a Qt application switches to the
    // user's: a German decimal comma must not turn "3.5" into 3.
    const QByteArray latin = trimmed.toLatin1();
    const char* first = latin.constData();
    if (*first == '+') {
        ++first;  // from_chars takes no plus sign
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(first, latin.constData() + latin.size(), value);
    if (error != std::errc() || end != latin.constData() + latin.size() || !std::isfinite(value)) {
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

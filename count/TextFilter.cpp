// Placeholder; being implemented.
#include "TextFilter.h"
namespace quorvane {
TextFilter::Kind TextFilter::kindOf(unsigned char) noexcept { return Kind::Dropped; }
char TextFilter::feed(unsigned char) noexcept { return 0; }
QByteArray TrimASC(const QByteArray&) { return {}; }
qint64 wordCount(const QByteArray&) { return 0; }
QByteArray cutAtLastCJ(const QByteArray& c) { return c; }
}

// Placeholder; being implemented.
#include "Artwork.h"
namespace quorvane {
QIcon Artwork::windowIcon() { return {}; }
QCursor Artwork::handCursor() { return QCursor(Qt::PointingHandCursor); }
}

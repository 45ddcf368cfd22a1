// Placeholder; being implemented.
#include "FolderListing.h"
namespace quorvane {
FolderList FolderListing::list(const QString&, const QString&) { return {}; }
bool FolderListing::matches(const QString&, const QString&) { return false; }
bool FolderListing::lessThan(const QString& a, const QString& b) { return a < b; }
}

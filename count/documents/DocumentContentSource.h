#pragma once

#include "FileContentSource.h"

namespace quorvane {

// Reads a file as the text a reader of it sees, where it is a document (word processor
// files, PDF, RTF, HTML, EPUB); any other file as its bytes.
// Placeholder: reads every file as its bytes.
class DocumentContentSource : public FileContentSource {};

}  // namespace quorvane

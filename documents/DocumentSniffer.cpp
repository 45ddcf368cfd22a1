#include "documents/DocumentSniffer.h"

#include <QString>

namespace quorvane {

namespace {

bool hasSuffix(QStringView fileName, std::initializer_list<const char*> suffixes) {
    for (const char* suffix : suffixes) {
        if (fileName.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

// The opening of an HTML file, after a byte-order mark and white space.
bool opensAsHtml(QByteArrayView head) {
    if (head.startsWith("\xEF\xBB\xBF")) {
        head = head.sliced(3);
    }
    qsizetype i = 0;
    while (i < head.size() && (head[i] == ' ' || (head[i] >= '\t' && head[i] <= '\r'))) {
        ++i;
    }
    const QByteArray rest = head.sliced(i).first(qMin<qsizetype>(head.size() - i, 14)).toByteArray().toLower();
    if (rest.startsWith("<!doctype html")) {
        return true;
    }
    return rest.startsWith("<html") &&
           (rest.size() == 5 || rest[5] == '>' || rest[5] == ' ' || (rest[5] >= '\t' && rest[5] <= '\r'));
}

}  // namespace

DocumentSniffer::Kind DocumentSniffer::kindOf(QByteArrayView head, QStringView fileName) {
    if (head.startsWith("PK\x03\x04")) {
        return Kind::Zip;
    }
    if (head.startsWith("%PDF-")) {
        return Kind::Pdf;
    }
    if (head.startsWith("{\\rtf")) {
        return Kind::Rtf;
    }
    if (head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
        return Kind::CompoundFile;
    }
    if (hasSuffix(fileName, {".htm", ".html", ".xhtml"}) || opensAsHtml(head)) {
        return Kind::Html;
    }
    if (hasSuffix(fileName, {".md", ".markdown", ".mdown"})) {
        return Kind::Markdown;
    }
    return Kind::Bytes;
}

bool DocumentSniffer::zipClaimsDocument(QByteArrayView head, QStringView fileName) {
    // The first local header: its name's length at 26, the name at 30.
    if (head.size() >= 30) {
        const auto* h = reinterpret_cast<const unsigned char*>(head.data());
        const qsizetype nameLength = h[26] | (h[27] << 8);
        if (30 + nameLength <= head.size()) {
            const QByteArrayView name = head.sliced(30, nameLength);
            if (name == "mimetype" || name == "[Content_Types].xml") {
                return true;
            }
        }
    }
    return hasSuffix(fileName, {".docx", ".docm", ".dotx", ".dotm", ".xlsx", ".xlsm", ".xltx",
                                ".pptx", ".pptm", ".potx", ".ppsx", ".odt", ".ott", ".ods",
                                ".ots", ".odp", ".otp", ".odg", ".epub"});
}

}  // namespace quorvane

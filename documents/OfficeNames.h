#pragma once

#include <QString>
#include <QStringView>
#include <QXmlStreamReader>

namespace quorvane {

// The XML namespaces of the office formats, in the transitional and the strict spelling.
class OfficeNames {
public:
    static bool isWordprocessing(QStringView ns) {
        return ns == u"http://schemas.openxmlformats.org/wordprocessingml/2006/main" ||
               ns == u"http://purl.oclc.org/ooxml/wordprocessingml/main";
    }
    static bool isDrawing(QStringView ns) {
        return ns == u"http://schemas.openxmlformats.org/drawingml/2006/main" ||
               ns == u"http://purl.oclc.org/ooxml/drawingml/main";
    }
    static bool isPresentation(QStringView ns) {
        return ns == u"http://schemas.openxmlformats.org/presentationml/2006/main" ||
               ns == u"http://purl.oclc.org/ooxml/presentationml/main";
    }
    static bool isSpreadsheet(QStringView ns) {
        return ns == u"http://schemas.openxmlformats.org/spreadsheetml/2006/main" ||
               ns == u"http://purl.oclc.org/ooxml/spreadsheetml/main";
    }
    static bool isMarkupCompatibility(QStringView ns) {
        return ns == u"http://schemas.openxmlformats.org/markup-compatibility/2006";
    }
    // The value of the current element's attribute of that local name, whatever its prefix.
    static QString attribute(const QXmlStreamReader& xml, QStringView localName) {
        const QXmlStreamAttributes attributes = xml.attributes();
        for (const QXmlStreamAttribute& a : attributes) {
            if (a.name() == localName) {
                return a.value().toString();
            }
        }
        return {};
    }
    // True for an attribute value that switches a property off ("0", "false", "off").
    static bool isOff(QStringView value) {
        return value == u"0" || value == u"false" || value == u"off";
    }
};

}  // namespace quorvane

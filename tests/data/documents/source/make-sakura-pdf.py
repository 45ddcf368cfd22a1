#!/usr/bin/env python3
"""Writes ../sakura.pdf: two lines of Japanese in a font that is not embedded, drawn
through Adobe's predefined UniJIS-UCS2-H character map. Reading its text needs that map
and the Adobe-Japan1 table from CIDs to Unicode, which poppler loads from poppler-data
at run time.

Usage: python3 make-sakura-pdf.py (from any folder)."""

from pathlib import Path

LINES = ["庭の桜が咲いた", "春の朝"]


def ucs2(text):
    # UniJIS-UCS2-H takes each character as its two-byte UCS-2 code.
    return "<" + text.encode("utf-16-be").hex().upper() + ">"


def main():
    content = "BT /F1 24 Tf 72 720 Td {} Tj 0 -36 Td {} Tj ET".format(*map(ucs2, LINES))
    objects = [
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] "
        "/Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>",
        "<< /Length {} >>\nstream\n{}\nendstream".format(len(content), content),
        "<< /Type /Font /Subtype /Type0 /BaseFont /HeiseiMin-W3 "
        "/Encoding /UniJIS-UCS2-H /DescendantFonts [6 0 R] >>",
        "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /HeiseiMin-W3 "
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (Japan1) /Supplement 2 >> "
        "/FontDescriptor 7 0 R /DW 1000 >>",
        "<< /Type /FontDescriptor /FontName /HeiseiMin-W3 /Flags 6 "
        "/FontBBox [-123 -257 1001 910] /ItalicAngle 0 /Ascent 859 /Descent -141 "
        "/CapHeight 709 /StemV 69 >>",
    ]
    out = b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n"
    offsets = []
    for number, body in enumerate(objects, start=1):
        offsets.append(len(out))
        out += "{} 0 obj\n{}\nendobj\n".format(number, body).encode("ascii")
    xref_at = len(out)
    out += "xref\n0 {}\n0000000000 65535 f \n".format(len(objects) + 1).encode("ascii")
    for offset in offsets:
        out += "{:010d} 00000 n \n".format(offset).encode("ascii")
    out += "trailer\n<< /Size {} /Root 1 0 R >>\nstartxref\n{}\n%%EOF\n".format(
        len(objects) + 1, xref_at).encode("ascii")
    (Path(__file__).resolve().parent.parent / "sakura.pdf").write_bytes(out)


if __name__ == "__main__":
    main()

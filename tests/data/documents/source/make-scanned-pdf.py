#!/usr/bin/env python3
"""Writes ../scanned.pdf: one page that shows a picture and holds no text, as a page
scanned without text recognition does. The picture is 8 by 8 grey pixels, stretched over
the page.

Usage: python3 make-scanned-pdf.py (from any folder)."""

from pathlib import Path

WIDTH = HEIGHT = 8


def main():
    pixels = bytes((x * 32 + y * 16) % 256 for y in range(HEIGHT) for x in range(WIDTH))
    image = pixels.hex().upper() + ">"
    content = "q 612 0 0 792 0 0 cm /Im1 Do Q"
    objects = [
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] "
        "/Resources << /XObject << /Im1 5 0 R >> >> /Contents 4 0 R >>",
        "<< /Length {} >>\nstream\n{}\nendstream".format(len(content), content),
        "<< /Type /XObject /Subtype /Image /Width {} /Height {} /ColorSpace /DeviceGray "
        "/BitsPerComponent 8 /Filter /ASCIIHexDecode /Length {} >>\nstream\n{}\nendstream"
        .format(WIDTH, HEIGHT, len(image), image),
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
    (Path(__file__).resolve().parent.parent / "scanned.pdf").write_bytes(out)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes the documents the document-service tests use into OUTDIR.

    make_documents.py OUTDIR [--no-office] [NAME ...]

Without NAMEs every document is written, else only the named ones.

Good inputs:
  three_pages.pdf   3 pages of 800 x 600 pt, each titled "Page N". Page 2 carries a solid
                    red (255, 0, 0) square over PDF user space (300, 200)-(500, 400): the
                    middle quarter of the page, from 37.5 % to 62.5 % of the width and from
                    33.3 % to 66.7 % of the height. Its centre (50 %, 50 %) is red on page 2
                    and white on pages 1 and 3.
  two_slides.pptx   2 slides (from flat ODP XML through "soffice --convert-to pptx"); skipped
                    with --no-office.
Bad inputs:
  empty.pdf         0 bytes.
  corrupt.pdf       a PDF header followed by garbage.
  ten_thousand_pages.pdf
                    a valid PDF of 10 000 empty pages (one shared content stream).
  bomb.docx         a zip whose document part inflates to 1 GiB of zeros (about 1 MiB packed).
"""
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

PAGE_W, PAGE_H = 800, 600
SQUARE = (300, 200, 200, 200)  # x, y, width, height in PDF user space (origin bottom left)


def pdf_bytes(contents):
    """A PDF whose pages have the given content streams (bytes), Helvetica as font F1."""
    n = len(contents)
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [" + b" ".join(b"%d 0 R" % (4 + 2 * i) for i in range(n)) +
        b"] /Count %d >>" % n,
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    ]
    for i, content in enumerate(contents):
        objects.append(b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %d %d] "
                       b"/Resources << /Font << /F1 3 0 R >> >> /Contents %d 0 R >>" %
                       (PAGE_W, PAGE_H, 5 + 2 * i))
        objects.append(b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream")
    return assemble(objects)


def assemble(objects):
    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for number, body in enumerate(objects, start=1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        out += b"%010d 00000 n \n" % offset
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return bytes(out)


def three_pages():
    pages = []
    for number in (1, 2, 3):
        text = b"BT /F1 36 Tf 40 520 Td (Page %d) Tj ET" % number
        if number == 2:
            text += b"\n1 0 0 rg %d %d %d %d re f" % SQUARE
        pages.append(text)
    return pdf_bytes(pages)


def ten_thousand_pages():
    count = 10000
    kids = b" ".join(b"%d 0 R" % (4 + i) for i in range(count))
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [" + kids + b"] /Count %d >>" % count,
        b"<< /Length 0 >>\nstream\n\nendstream",
    ]
    for _ in range(count):
        objects.append(b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 3 0 R >>")
    return assemble(objects)


def zip_bomb(path):
    content_types = ('<?xml version="1.0" encoding="UTF-8"?>'
                     '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                     '<Override PartName="/word/document.xml" ContentType="application/'
                     'vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>')
    chunk = b"\0" * (1 << 20)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.writestr("[Content_Types].xml", content_types)
        with z.open("word/document.xml", "w", force_zip64=True) as part:
            for _ in range(1024):
                part.write(chunk)


FODP = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.presentation">
 <office:body><office:presentation>
  <draw:page draw:name="one"><draw:frame svg:x="2cm" svg:y="2cm" svg:width="20cm" svg:height="3cm">
   <draw:text-box><text:p>Slide one</text:p></draw:text-box></draw:frame></draw:page>
  <draw:page draw:name="two"><draw:frame svg:x="2cm" svg:y="2cm" svg:width="20cm" svg:height="3cm">
   <draw:text-box><text:p>Slide two</text:p></draw:text-box></draw:frame></draw:page>
 </office:presentation></office:body>
</office:document>
"""


def two_slides(outdir):
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "two_slides.fodp")
        with open(source, "w", encoding="utf-8") as f:
            f.write(FODP)
        subprocess.run(["soffice", "-env:UserInstallation=file://" + os.path.join(work, "profile"), "--headless",
                        "--convert-to", "pptx", "--outdir", work, source],
                       check=True, timeout=120, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.move(os.path.join(work, "two_slides.pptx"), os.path.join(outdir, "two_slides.pptx"))


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    outdir = sys.argv[1]
    options = sys.argv[2:]
    names = [a for a in options if not a.startswith("--")]
    os.makedirs(outdir, exist_ok=True)
    files = {
        "three_pages.pdf": three_pages,
        "empty.pdf": lambda: b"",
        "corrupt.pdf": lambda: b"%PDF-1.4\n" + bytes((i * 37 + 11) % 251 for i in range(4096)),
        "ten_thousand_pages.pdf": ten_thousand_pages,
    }
    for name, make in files.items():
        if not names or name in names:
            with open(os.path.join(outdir, name), "wb") as f:
                f.write(make())
    if not names or "bomb.docx" in names:
        zip_bomb(os.path.join(outdir, "bomb.docx"))
    if "--no-office" not in options and (not names or "two_slides.pptx" in names):
        two_slides(outdir)


if __name__ == "__main__":
    main()

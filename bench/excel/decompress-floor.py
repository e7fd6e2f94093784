#!/usr/bin/env python3
"""The floor the converter's whole process is measured against: a process that only decompresses the
sheet part of a workbook and writes a file of the drawing's size.

    decompress-floor.py WORKBOOK OUT BYTES

farm-bench --vs "python3 bench/excel/decompress-floor.py BOOK /tmp/floor.dxf BYTES" -- gridvane-convert -o OUT BOOK
"""
import sys
import zipfile

book, out, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
read = 0
with zipfile.ZipFile(book) as z:
    sheet = sorted(n for n in z.namelist() if n.startswith("xl/worksheets/sheet"))[0]
    with z.open(sheet) as part:
        while chunk := part.read(1 << 20):
            read += len(chunk)
block = b" " * (1 << 20)
with open(out, "wb") as f:
    left = size
    while left > 0:
        f.write(block[: min(left, len(block))])
        left -= len(block)
print(read, size)

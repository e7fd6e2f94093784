"""Writes workbooks of random tables with openpyxl (an independent writer), for the import's range reads
to be checked against the cell-by-cell reading: sizes, widths and heights, values of every kind, number
formats, alignments and font sizes by column, by row or by cell, borders as grids with gaps, diagonals,
merged areas (some cut by the selection's edge) and a saved selection.

usage: make-random-workbooks.py FIRST_SEED LAST_SEED OUTDIR  (writes OUTDIR/random-SEED.xlsx)
"""
import random
import sys
import zlib

import openpyxl
from openpyxl.styles import Alignment, Border, Font, Side
from openpyxl.utils import get_column_letter

first, last, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
FORMATS = ["General", "@", "0.00", "#,##0", "0%", "yyyy/m/d", '"No."0']
ALIGNS = [None, "left", "center", "right", "fill", "centerContinuous", "distributed"]
STYLES = ["thin", "medium", "dashed", "dotted", "double", "hair"]

for seed in range(first, last + 1):
    rng = random.Random(seed)
    wb = openpyxl.Workbook()
    ws = wb.active
    r1, c1 = rng.randint(1, 3), rng.randint(1, 3)
    rows, cols = rng.randint(1, 14), rng.randint(1, 9)
    last_row, last_col = r1 + rows + 1, c1 + cols + 1
    for c in range(1, last_col + 1):
        if rng.random() < 0.4:
            ws.column_dimensions[get_column_letter(c)].width = rng.choice([2.5, 6, 8.43, 12.71, 20])
        if rng.random() < 0.05:
            ws.column_dimensions[get_column_letter(c)].hidden = True
    for r in range(1, last_row + 1):
        if rng.random() < 0.4:
            ws.row_dimensions[r].height = rng.choice([9.75, 15, 18.75, 30])
    by = {k: rng.choice(["column", "row", "cell", "all"]) for k in ("align", "size", "format")}

    def pick(kind, r, c, choices):
        key = {"column": c, "row": r, "cell": rng.random(), "all": 0}[by[kind]]
        return choices[zlib.crc32(repr((seed, kind, key)).encode()) % len(choices)]

    grid = rng.random() < 0.6
    for r in range(1, last_row + 1):
        for c in range(1, last_col + 1):
            cell = ws.cell(row=r, column=c)
            kind = rng.randrange(8)
            if kind == 1:
                cell.value = round(rng.uniform(-1000, 100000), rng.choice([0, 1, 2, 5]))
            elif kind == 2:
                cell.value = rng.choice(["0123", "1,234", "-5", "2023-01-01"])
            elif kind == 3:
                cell.value = "字" * rng.choice([1, 4, 40, 300])
            elif kind == 4:
                cell.value = rng.random() < 0.5
            elif kind == 5:
                cell.value = "品名%d\n二行目" % (r * 100 + c) if rng.random() < 0.2 else "品名%d" % (r * 100 + c)
            elif kind == 6 and rng.random() < 0.1:
                cell.value = "#N/A"
            cell.number_format = pick("format", r, c, FORMATS)
            horizontal = pick("align", r, c, ALIGNS)
            if horizontal:
                cell.alignment = Alignment(horizontal=horizontal)
            cell.font = Font(size=pick("size", r, c, [9, 10.5, 11, 16]))
            sides = {}
            for edge in ("top", "bottom", "left", "right"):
                if rng.random() < (0.9 if grid else 0.3):
                    sides[edge] = Side(style=rng.choice(STYLES) if rng.random() < 0.3 else "thin")
            diagonal = rng.random() < 0.05
            if sides or diagonal:
                down = diagonal and rng.random() < 0.6
                cell.border = Border(diagonal=Side(style="thin") if diagonal else None, diagonalDown=down,
                                     diagonalUp=diagonal and not down, **sides)
    taken = set()
    for _ in range(rng.randint(0, 4)):
        ar1, ac1 = rng.randint(max(1, r1 - 1), r1 + rows - 1), rng.randint(max(1, c1 - 1), c1 + cols - 1)
        ar2, ac2 = ar1 + rng.randint(0, 2), ac1 + rng.randint(0, 2)
        area = {(r, c) for r in range(ar1, ar2 + 1) for c in range(ac1, ac2 + 1)}
        if len(area) < 2 or area & taken:
            continue
        taken |= area
        ws.merge_cells(start_row=ar1, start_column=ac1, end_row=ar2, end_column=ac2)
    ref = "%s%d:%s%d" % (get_column_letter(c1), r1, get_column_letter(c1 + cols - 1), r1 + rows - 1)
    ws.sheet_view.selection[0].sqref = ref
    ws.sheet_view.selection[0].activeCell = ref.split(":")[0]
    wb.save("%s/random-%d.xlsx" % (out, seed))

#!/usr/bin/python3
"""Writes the sheet that the stand-in spreadsheet serves (selection.sheet) as an .xlsx with openpyxl, an
independent writer, so that the Linux import of the file can be compared with the Windows import from
the stand-in.  Usage: write-workbook.py SHEET OUT.xlsx"""
import math
import sys

import openpyxl
from openpyxl.styles import Alignment, Border, Font, Side
from openpyxl.utils import get_column_letter

sheet_file, out = sys.argv[1], sys.argv[2]


def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            n = text[i + 1]
            out.append("\n" if n == "n" else "\t" if n == "t" else n)
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


wb = openpyxl.Workbook()
ws = wb.active
selection = "A1"
display_formulas = False
font_size = 11
cells = []
merges = []
for raw in open(sheet_file, encoding="utf-8"):
    line = raw.rstrip("\r\n")
    if not line or line.startswith("#"):
        continue
    f = line.split("\t")
    what = f[0]
    if what == "sheet":
        ws.title = unescape(f[1])
    elif what == "selection":
        selection = f[1]
    elif what == "display-formulas":
        display_formulas = True
    elif what == "font":
        font_size = float(f[1])
    elif what == "columns":
        for item in f[1:]:
            letters, width = item.split(":")
            # The stored width of a column that Excel shows as WIDTH characters of a 7-pixel digit.
            ws.column_dimensions[letters].width = math.trunc((float(width) * 7 + 5) / 7 * 256) / 256
    elif what == "rows":
        for item in f[1:]:
            row, height = item.split(":")
            ws.row_dimensions[int(row)].height = float(height)
    elif what == "merge":
        merges.append(f[1])
    elif what == "cell":
        cells.append(f[1:])

# Merged first, so that the borders set below are the cells' own (openpyxl formats a merged range once,
# when it is merged).
for m in merges:
    ws.merge_cells(m)

for f in cells:
    address = f[0]
    cell = ws[address]
    sides = {}
    diagonal = None
    down = up = False
    for field in f[1:]:
        if field.startswith("s:"):
            cell.value = unescape(field[2:])
            if "\n" in cell.value:
                cell.alignment = Alignment(horizontal=cell.alignment.horizontal, wrap_text=True)
        elif field.startswith("n:"):
            v = field[2:]
            cell.value = float(v) if "." in v else int(v)
        elif field.startswith("b:"):
            cell.value = field[2:] == "TRUE"
        elif field.startswith("e:"):
            cell.value = field[2:]  # openpyxl writes an error value's text as that error
        elif field.startswith("fmt="):
            cell.number_format = unescape(field[4:])
        elif field.startswith("text="):
            pass  # the displayed text of a number follows from its General format
        elif field.startswith("align="):
            cell.alignment = Alignment(horizontal=field[6:], wrap_text=cell.alignment.wrap_text)
        elif field.startswith("size="):
            cell.font = Font(size=float(field[5:]))
        else:
            edge, style = field.split("=")
            if edge in ("down", "up"):
                diagonal = Side(style=style)
                down = down or edge == "down"
                up = up or edge == "up"
            else:
                sides[edge] = Side(style=style)
    if sides or diagonal:
        cell.border = Border(diagonal=diagonal, diagonalDown=down, diagonalUp=up, **sides)

# A selection of several areas: the file lists them apart by spaces.
ws.sheet_view.selection[0].sqref = selection.replace(",", " ")
ws.sheet_view.selection[0].activeCell = selection.split(",")[0].split(":")[0]
ws.sheet_view.showFormulas = display_formulas
wb.save(out)

#!/usr/bin/python3
"""Writes samples/parts-list.xlsx: a Japanese parts list with merged headings, borders, diagonals,
multi-line cells, numbers and dates with formats. Run with Debian's python3 (python3-openpyxl)."""
import datetime
import sys

import openpyxl
from openpyxl.styles import Alignment, Border, Font, Side

out = sys.argv[1] if len(sys.argv) > 1 else "samples/parts-list.xlsx"
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "部品表"

thin = Side(style="thin")
medium = Side(style="medium")
box = Border(left=thin, right=thin, top=thin, bottom=thin)

ws.merge_cells("B1:G1")
ws["B1"] = "部品表　（第２版）"
ws["B1"].font = Font(size=16)
ws["B1"].alignment = Alignment(horizontal="center")
ws.row_dimensions[1].height = 24

headers = ["番号", "品名", "材質", "数量", "単価", "納期"]
for i, h in enumerate(headers):
    cell = ws.cell(row=2, column=2 + i, value=h)
    cell.alignment = Alignment(horizontal="center")
    cell.border = Border(left=thin, right=thin, top=medium, bottom=medium)

rows = [
    (1, "六角ボルト\nM8×20", "SS400", 24, 12.5, datetime.date(2024, 4, 1)),
    (2, "平座金", "SUS304", 48, 3.2, datetime.date(2024, 4, 15)),
    (3, "ﾅｯﾄ M8", "SS400", 24, 4.75, datetime.date(2024, 5, 1)),
    (4, "ブラケット", "SPCC", 2, 1850, datetime.date(2024, 5, 20)),
    (5, "カバー", "ABS", 1, 12000, None),
]
for r, values in enumerate(rows, start=3):
    for c, v in enumerate(values, start=2):
        cell = ws.cell(row=r, column=c, value=v)
        cell.border = box
    ws.cell(row=r, column=3).alignment = Alignment(wrap_text=True)
    ws.cell(row=r, column=6).number_format = "#,##0.00"
    ws.cell(row=r, column=7).number_format = 'yyyy"年"m"月"d"日"'
ws.row_dimensions[3].height = 30
# No delivery date for the cover: a diagonal through the empty cell.
ws["G7"].border = Border(left=thin, right=thin, top=thin, bottom=thin, diagonal=thin, diagonalDown=True)

ws.merge_cells("B8:E8")
ws["B8"] = "合計"
ws["B8"].alignment = Alignment(horizontal="right")
ws["F8"] = sum(v[3] * v[4] for v in rows)
ws["F8"].number_format = "¥#,##0"
for c in range(2, 8):
    ws.cell(row=8, column=c).border = Border(left=thin, right=thin, top=thin, bottom=medium)

for col, width in zip("ABCDEFG", [2, 6, 18, 10, 8, 12, 18]):
    ws.column_dimensions[col].width = width
ws.sheet_view.selection[0].sqref = "B1:G8"
ws.sheet_view.selection[0].activeCell = "B1"
wb.save(out)
print(out)

"""Writes the workbooks the live Calc tests open, with openpyxl (an independent writer).

usage: make-calc-workbooks.py OUTDIR
"""
import datetime
import sys

import openpyxl
from openpyxl.styles import Alignment, Border, Font, Side

out = sys.argv[1]
thin = Side(style="thin")
box = Border(left=thin, right=thin, top=thin, bottom=thin)


def form():
    """A form: merges of several shapes, every border kind and diagonal, alignments, font sizes,
    formatted numbers and dates, Japanese and multi-line texts."""
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "見積"
    for col, width in zip("ABCDEFGH", [12.71, 8.43, 10.29, 13, 6.29, 20.86, 9.14, 15.5]):
        ws.column_dimensions[col].width = width
    for row, height in {1: 30, 2: 18.75, 3: 22.5, 4: 15, 5: 37.5, 8: 12.75}.items():
        ws.row_dimensions[row].height = height

    ws["A1"] = "御見積書"
    ws["A1"].font = Font(size=16, bold=True)
    ws["A1"].alignment = Alignment(horizontal="center")
    ws.merge_cells("A1:D1")
    for col, text in zip("ABCDEFGH", ["品名", "数量", "単価", "金額", "税", "備考", "納期", "区分"]):
        ws[col + "2"] = text
        ws[col + "2"].border = box
        ws[col + "2"].alignment = Alignment(horizontal="center")
    ws["A3"] = "ボルト M8×20"
    ws["B3"] = 120
    ws["C3"] = 35.5
    ws["C3"].number_format = "#,##0.00"
    ws["D3"] = 4260
    ws["D3"].number_format = "#,##0"
    ws["E3"] = 0.1
    ws["E3"].number_format = "0%"
    ws["F3"] = "二行の\n備考です"
    ws["F3"].alignment = Alignment(wrap_text=True, vertical="top")
    ws.merge_cells("F3:G4")
    ws["H3"] = "A"
    ws.merge_cells("H3:H5")
    ws["A4"] = "ナット"
    ws["A4"].font = Font(size=9)
    ws["B4"] = -12
    ws["C4"] = 1234567.891
    ws["D4"] = "0123"
    ws["D4"].number_format = "@"
    ws["E4"] = True
    ws["A5"] = datetime.date(2023, 2, 11)
    ws["A5"].number_format = "yyyy/mm/dd"
    ws["B5"] = datetime.date(2023, 2, 11)
    ws["B5"].number_format = 'yyyy"年"m"月"d"日"'
    ws["C5"] = "左"
    ws["C5"].alignment = Alignment(horizontal="left")
    ws["D5"] = 12.5
    ws["D5"].alignment = Alignment(horizontal="left")
    ws["E5"] = "右"
    ws["E5"].alignment = Alignment(horizontal="right")
    ws["F5"] = "中央"
    ws["F5"].alignment = Alignment(horizontal="center")
    ws["F5"].font = Font(size=20)
    ws["G5"] = "両端揃えの文"
    ws["G5"].alignment = Alignment(horizontal="justify")
    # Row 6: one border kind per cell, on all four sides.
    for col, style in zip("ABCDEFGH", ["thin", "medium", "thick", "dashed", "dotted", "double", "hair", "dashDot"]):
        side = Side(style=style)
        ws[col + "6"] = style
        ws[col + "6"].border = Border(left=side, right=side, top=side, bottom=side)
    # Row 7: single sides and diagonals.
    ws["A7"].border = Border(top=thin)
    ws["B7"].border = Border(bottom=thin)
    ws["C7"].border = Border(left=thin)
    ws["D7"].border = Border(right=thin)
    ws["E7"].border = Border(diagonal=thin, diagonalDown=True)
    ws["F7"].border = Border(diagonal=thin, diagonalUp=True)
    ws["G7"].border = Border(diagonal=Side(style="mediumDashed"), diagonalUp=True, diagonalDown=True)
    ws["H7"].border = Border(top=Side(style="slantDashDot"), bottom=Side(style="mediumDashDotDot"))
    ws["A8"] = 1e-5
    ws["B8"] = 12345678901234567
    ws["C8"] = 3.14159265358979
    ws["D8"] = "=SUM(B3:B4)"
    ws["E8"] = 0.5
    ws["E8"].number_format = "0.0"
    ws["F8"] = "全角ＡＢＣ　半角ｶﾅ"
    ws["A9"] = "小"
    ws["A9"].font = Font(size=8)
    ws["B9"] = "大"
    ws["B9"].font = Font(size=24)
    ws.sheet_view.selection[0].sqref = "A1:H9"
    wb.save(f"{out}/calc-form.xlsx")


def errors():
    """An error value inside the selection."""
    wb = openpyxl.Workbook()
    ws = wb.active
    ws["A1"] = "値"
    ws["B1"] = 1
    ws["A2"] = "誤り"
    ws["B2"] = "#DIV/0!"
    wb.save(f"{out}/calc-error.xlsx")


def grid(rows, cols):
    """The benchmark's sheet: texts and numbers, every cell bordered, a merged area in every tenth row."""
    wb = openpyxl.Workbook()
    ws = wb.active
    for r in range(1, rows + 1):
        for c in range(1, cols + 1):
            cell = ws.cell(r, c, f"品{r}-{c}" if c % 2 else r * 100 + c * 0.25)
            cell.border = box
        if r % 10 == 0:
            ws.merge_cells(start_row=r, start_column=2, end_row=r, end_column=4)
    wb.save(f"{out}/calc-grid-{rows}x{cols}.xlsx")


form()
errors()
grid(100, 20)

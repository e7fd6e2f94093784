#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets into the folder given (one subfolder per target).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:?corpus folder}
mkdir -p "$dir"/{workbook,sheetxml,xmlpiece,xmlstream,numfmt,settings,tablefile,widths,numbertext}
cp samples/*.xlsx "$dir/workbook/"
# The sheet parts of the sample workbooks, and one with what the sheet reader's scanner must step over.
for book in samples/*.xlsx; do
  python3 -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read("xl/worksheets/sheet1.xml"))' \
    "$book" >"$dir/sheetxml/$(basename "$book" .xlsx).xml"
done
printf '%s' '<?xml version="1.0" encoding="UTF-8"?><worksheet><sheetViews><sheetView><selection sqref="A1:B2"/></sheetView></sheetViews><sheetFormatPr defaultRowHeight="15"/><cols><col min="1" max="2" width="9"/></cols><sheetData><!-- </row> --><row r="1" ht="20"><c r="A1" t="str"><v><![CDATA[</row>]]></v></c><?pi </c> ?><c r="B1" t="inlineStr"><is><r><rPr><sz val="9"/></rPr><t>a&lt;b</t></r></is></c></row><row r="2"><c r="A2" s="0"><v>1.5</v></c></row></sheetData><mergeCells><mergeCell ref="A2:B2"/></mergeCells></worksheet>' >"$dir/sheetxml/tricky.xml"
# Rows as writers write them, which the sheet reader walks itself: values, formulas, inline strings.
printf '%s' '<worksheet><sheetViews><sheetView><selection sqref="A1:C4"/></sheetView></sheetViews><sheetData><row r="1" spans="1:3" ht="20" customHeight="1"><c r="A1" s="0" t="n"><v>1.5</v></c><c r="B1" t="inlineStr"><is><t xml:space="preserve">&#37096; x</t></is></c><c r="C1" t="str"><f>A1&amp;"x"</f><v>1.5x</v></c></row>
<row r="2"><c r="A2" t="e"><v>#N/A</v></c><c r="B2" t="b"><v>1</v></c><c r="C2"/></row><row r="4" hidden="1"><c r="B4" t="d"><v>2020-01-31</v></c><c r="C4"><f t="shared" ref="C4:C5" si="0"/><v>-0.25</v></c></row></sheetData></worksheet>' >"$dir/sheetxml/usual.xml"
# Pieces of rows and shared strings: plain markup, and markup the plain route leaves to the tree.
printf '%s' '<row r="1"><c r="A1" s="1" t="inlineStr"><is><t>&#37096;&#21697; &amp;&lt;</t></is></c><c r="B1"><v>1.5</v></c></row>' >"$dir/xmlpiece/row.xml"
printf '%s' '<si><r><rPr><sz val="11"/></rPr><t xml:space="preserve"> a </t></r></si> <si><t>b</t></si>' >"$dir/xmlpiece/strings.xml"
printf '%s' '<c r="A1" t="str"><v><![CDATA[</c>]]><!-- x --></v></c>' >"$dir/xmlpiece/other.xml"
# The same as the rows of a sheet part, the first byte choosing the size of the pieces it comes in.
for seed in "$dir"/xmlpiece/*.xml; do { printf 'E'; cat "$seed"; } >"$dir/xmlstream/$(basename "$seed")"; done
cp samples/*.json "$dir/tablefile/"
printf '[PlotraTlsx]\r\ncolXsc=20\r\ncadYsc=0.43\r\ncellLineColor=0x10\r\n[Other]\r\nx=1\r\n' >"$dir/settings/basic.ini"
printf '; comment\n[plotratlsx]\n cadxsc = 1,5 \n' >"$dir/settings/odd.ini"
i=0
for code in 'General' '#,##0.00' '0.0%' 'yyyy/m/d' '[$-411]ggge"年"m"月"d"日"' '# ??/??' '0.00E+00' \
  '[h]:mm:ss' '[<0]"▲"#,##0;#,##0' '[DBNum1]General' 'aaaa' '@'; do
  i=$((i + 1))
  # eight bytes of a double (45383.5) followed by the code
  { printf '\x00\x00\x00\x00\xf0\x27\xe6\x40'; printf '%s' "$code"; } >"$dir/numfmt/seed$i"
done
printf '%s' 'ｶﾞｷﾞ１２３ＡＢ（１）＋［Ａ］熙槇' | iconv -f UTF-8 -t UTF-16LE >"$dir/widths/seed1"
printf '%s' 'abc 123 ひらがな 漢字 ﾊﾟﾋﾟ' | iconv -f UTF-8 -t UTF-16LE >"$dir/widths/seed2"
printf '%s' 'ｱ１Ａ✓a1¥é‖😀ｶ😀ﾞ〜' | iconv -f UTF-8 -t UTF-16LE >"$dir/widths/seed3"
# numbertext: the first byte picks the decimal separator (even: full stop, odd: comma), UTF-16 follows.
i=0
for number in '０．４３' '－１' '１，２３４' '　12,345.5　' '5E-5' '０，４３' '−1.5' '1,23'; do
  i=$((i + 1))
  { printf "\\x0$((i % 2))"; printf '%s' "$number" | iconv -f UTF-8 -t UTF-16LE; } >"$dir/numbertext/seed$i"
done

#!/usr/bin/env bash
# Writes the test workbooks as Excel lays them out, from plain XML parts zipped
# with `zip -X` (no spreadsheet program needed). Run it from anywhere; it needs
# bash, awk and zip.
#
#   survey.xlsx     two sheets: "Long", the cells of survey_long.csv without its
#                   row-name column, and "Wide", the cells of survey_wide.csv.
#                   Text mostly as shared strings (one rich-text item in runs, one
#                   with a phonetic run), a few inline strings, numbers as number
#                   cells, two formulas with their cached values, rows and cells
#                   without an r attribute, an empty styled cell Z1, and in Wide a
#                   merged range over empty cells. The sheets' parts are listed
#                   against the sheet order (Long is sheet2.xml), one relationship
#                   target relative and one absolute.
#   damaged.xlsx    the first half of survey.xlsx's bytes.
#   encrypted.xlsx  the start of an OLE compound file, as an encrypted workbook
#                   or an old .xls one begins.
#
# The seeds of the workbook fuzz target are written too, in fuzz/corpus/workbook/:
# the three files above, tiny workbooks of one number, one shared string and one
# inline string (stored uncompressed), and a zip holding one text file.
set -euo pipefail
export LC_ALL=C TZ=UTC

data=$(cd "$(dirname "$0")" && pwd)
corpus="$data/../../fuzz/corpus/workbook"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ns_main='http://schemas.openxmlformats.org/spreadsheetml/2006/main'
ns_rel='http://schemas.openxmlformats.org/officeDocument/2006/relationships'
ns_pkg='http://schemas.openxmlformats.org/package/2006'
decl='<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'

# zip_parts OUT DIR PART...: zips the parts in the order given, with a fixed time
# so that the bytes are the same at every run (compressed as $level says: -6, or
# -0 to store them as they are).
zip_parts() {
  local out=$1 dir=$2
  shift 2
  (cd "$dir" && find . -type f -exec touch -d '2024-03-01 09:00:00' {} + && rm -f "$out" && zip -X -D -q "${level:--6}" "$out" "$@")
}

# The parts that do not depend on the cells: content types, relationships of the
# package, document properties and styles.
common_parts() {
  local dir=$1 sheets=$2 titles=$3 shared=$4
  mkdir -p "$dir/_rels" "$dir/docProps" "$dir/xl/_rels" "$dir/xl/worksheets"
  {
    printf '%s\r\n<Types xmlns="%s/content-types">' "$decl" "$ns_pkg"
    printf '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
    printf '<Default Extension="xml" ContentType="application/xml"/>'
    printf '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
    for k in $(seq 1 "$sheets"); do
      printf '<Override PartName="/xl/worksheets/sheet%d.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>' "$k"
    done
    printf '<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>'
    [ "$shared" = yes ] && printf '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>'
    printf '<Override PartName="/docProps/core.xml" ContentType="application/vnd.openxmlformats-package.core-properties+xml"/>'
    printf '<Override PartName="/docProps/app.xml" ContentType="application/vnd.openxmlformats-officedocument.extended-properties+xml"/>'
    printf '</Types>'
  } >"$dir/[Content_Types].xml"
  printf '%s\r\n<Relationships xmlns="%s/relationships"><Relationship Id="rId3" Type="%s/extended-properties" Target="docProps/app.xml"/><Relationship Id="rId2" Type="%s/metadata/core-properties" Target="docProps/core.xml"/><Relationship Id="rId1" Type="%s/officeDocument" Target="xl/workbook.xml"/></Relationships>' \
    "$decl" "$ns_pkg" "$ns_rel" "$ns_pkg/relationships" "$ns_rel" >"$dir/_rels/.rels"
  printf '%s\r\n<cp:coreProperties xmlns:cp="%s/metadata/core-properties" xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:dcterms="http://purl.org/dc/terms/" xmlns:dcmitype="http://purl.org/dc/dcmitype/" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><dc:creator>Field team</dc:creator><cp:lastModifiedBy>Field team</cp:lastModifiedBy><dcterms:created xsi:type="dcterms:W3CDTF">2024-03-01T08:12:40Z</dcterms:created><dcterms:modified xsi:type="dcterms:W3CDTF">2024-03-01T09:00:00Z</dcterms:modified></cp:coreProperties>' \
    "$decl" "$ns_pkg" >"$dir/docProps/core.xml"
  local count=0 lpstr=""
  for t in $titles; do
    count=$((count + 1))
    lpstr+="<vt:lpstr>$t</vt:lpstr>"
  done
  printf '%s\r\n<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties" xmlns:vt="http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes"><Application>Microsoft Excel</Application><DocSecurity>0</DocSecurity><ScaleCrop>false</ScaleCrop><HeadingPairs><vt:vector size="2" baseType="variant"><vt:variant><vt:lpstr>Worksheets</vt:lpstr></vt:variant><vt:variant><vt:i4>%d</vt:i4></vt:variant></vt:vector></HeadingPairs><TitlesOfParts><vt:vector size="%d" baseType="lpstr">%s</vt:vector></TitlesOfParts><LinksUpToDate>false</LinksUpToDate><SharedDoc>false</SharedDoc><HyperlinksChanged>false</HyperlinksChanged><AppVersion>16.0300</AppVersion></Properties>' \
    "$decl" "$count" "$count" "$lpstr" >"$dir/docProps/app.xml"
  printf '%s\r\n<styleSheet xmlns="%s" xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006" mc:Ignorable="x14ac x16r2" xmlns:x14ac="http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac" xmlns:x16r2="http://schemas.microsoft.com/office/spreadsheetml/2015/02/main"><fonts count="1" x14ac:knownFonts="1"><font><sz val="11"/><color theme="1"/><name val="Calibri"/><family val="2"/><scheme val="minor"/></font></fonts><fills count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills><borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders><cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs><cellXfs count="2"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0" applyAlignment="1"><alignment horizontal="center"/></xf></cellXfs><cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles><dxfs count="0"/><tableStyles count="0" defaultTableStyle="TableStyleMedium2" defaultPivotStyle="PivotStyleLight16"/></styleSheet>' \
    "$decl" "$ns_main" >"$dir/xl/styles.xml"
}

workbook_xml() {  # NAME:RID...
  printf '%s\r\n<workbook xmlns="%s" xmlns:r="%s" xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006" mc:Ignorable="x15 xr xr6 xr10 xr2" xmlns:x15="http://schemas.microsoft.com/office/spreadsheetml/2010/11/main" xmlns:xr="http://schemas.microsoft.com/office/spreadsheetml/2014/revision" xmlns:xr6="http://schemas.microsoft.com/office/spreadsheetml/2016/revision6" xmlns:xr10="http://schemas.microsoft.com/office/spreadsheetml/2016/revision10" xmlns:xr2="http://schemas.microsoft.com/office/spreadsheetml/2015/revision2"><fileVersion appName="xl" lastEdited="7" lowestEdited="7" rupBuild="27425"/><workbookPr defaultThemeVersion="166925"/><bookViews><workbookView xWindow="-120" yWindow="-120" windowWidth="29040" windowHeight="15840"/></bookViews><sheets>' \
    "$decl" "$ns_main" "$ns_rel"
  local k=0
  for s in "$@"; do
    k=$((k + 1))
    printf '<sheet name="%s" sheetId="%d" r:id="%s"/>' "${s%%:*}" "$k" "${s#*:}"
  done
  printf '</sheets><calcPr calcId="191029"/></workbook>'
}

worksheet_head() {  # DIMENSION
  printf '%s\r\n<worksheet xmlns="%s" xmlns:r="%s" xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006" mc:Ignorable="x14ac xr xr2 xr3" xmlns:x14ac="http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac" xmlns:xr="http://schemas.microsoft.com/office/spreadsheetml/2014/revision" xmlns:xr2="http://schemas.microsoft.com/office/spreadsheetml/2015/revision2" xmlns:xr3="http://schemas.microsoft.com/office/spreadsheetml/2016/revision3" xr:uid="{00000000-0001-0000-0000-000000000000}"><dimension ref="%s"/><sheetViews><sheetView workbookViewId="0"/></sheetViews><sheetFormatPr defaultRowHeight="15" x14ac:dyDescent="0.25"/>' \
    "$decl" "$ns_main" "$ns_rel" "$1"
}
worksheet_tail='<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/></worksheet>'

# ---- survey.xlsx --------------------------------------------------------------------
book="$work/survey"
common_parts "$book" 2 "Long Wide" yes
workbook_xml Long:rId2 Wide:rId1 >"$book/xl/workbook.xml"
printf '%s\r\n<Relationships xmlns="%s/relationships"><Relationship Id="rId2" Type="%s/worksheet" Target="worksheets/sheet2.xml"/><Relationship Id="rId1" Type="%s/worksheet" Target="/xl/worksheets/sheet1.xml"/><Relationship Id="rId5" Type="%s/sharedStrings" Target="sharedStrings.xml"/><Relationship Id="rId4" Type="%s/styles" Target="styles.xml"/></Relationships>' \
  "$decl" "$ns_pkg" "$ns_rel" "$ns_rel" "$ns_rel" "$ns_rel" >"$book/xl/_rels/workbook.xml.rels"

# The cells. In the long file R quoted every text, so a field without quotes is a
# number; in the wide file a field is a number when it looks like one.
awk -v long_out="$book/xl/worksheets/sheet2.xml.body" -v wide_out="$book/xl/worksheets/sheet1.xml.body" \
    -v sst_out="$book/xl/sharedStrings.xml" -v decl="$decl" -v ns="$ns_main" '
BEGIN { nsst = 0; refs = 0 }
function split_csv(line, f, q,   n, i, c, field, inq, wasq) {
  n = 0; field = ""; inq = 0; wasq = 0
  for (i = 1; i <= length(line); i++) {
    c = substr(line, i, 1)
    if (inq) {
      if (c != "\"") field = field c
      else if (substr(line, i + 1, 1) == "\"") { field = field c; i++ }
      else inq = 0
    } else if (c == "\"") { inq = 1; wasq = 1 }
    else if (c == ",") { f[++n] = field; q[n] = wasq; field = ""; wasq = 0 }
    else field = field c
  }
  f[++n] = field; q[n] = wasq
  return n
}
function col(k,   s) {
  s = ""
  for (k = k + 1; k > 0; k = int(k / 26)) { k--; s = sprintf("%c", 65 + k % 26) s }
  return s
}
function esc(s) { gsub(/&/, "\\&amp;", s); gsub(/</, "\\&lt;", s); gsub(/>/, "\\&gt;", s); return s }
function shared(v) {
  if (!(v in sidx)) { sidx[v] = nsst; sval[nsst] = v; nsst++ }
  refs++
  return sidx[v]
}
FNR == 1 { sheet++ }
{
  sub(/\r$/, "")
  n = split_csv($0, f, q)
  r = FNR
  first = sheet == 1 ? 2 : 1           # the long file: its row names are left out
  cells = ""; prev = -2; last = 0
  for (i = first; i <= n; i++) {
    k = i - first
    v = f[i]
    if (v == "") continue
    ref = col(k) r
    at = " r=\"" ref "\""
    if (sheet == 1 && (r % 80 == 0 || (r % 7 == 0 && prev == k - 1))) at = ""
    if (sheet == 2 && prev == k - 1 && k % 3 == 0) at = ""
    number = (sheet == 1) ? !q[i] : (v ~ /^-?[0-9]+(\.[0-9]+)?$/)
    if (sheet == 1 && r == 3 && k <= 1) {
      # Formulas repeating the row above, with their cached values.
      above = col(k) (r - 1)
      cells = cells (k == 0 ? "<c" at " t=\"str\"><f>" above "</f><v>" esc(v) "</v></c>" : "<c" at "><f>" above "</f><v>" v "</v></c>")
    } else if (number) {
      cells = cells "<c" at "><v>" v "</v></c>"
    } else if ((sheet == 1 && r % 25 == 3) || (sheet == 2 && r == 3)) {
      cells = cells "<c" at " t=\"inlineStr\"><is><t>" esc(v) "</t></is></c>"
    } else {
      cells = cells "<c" at " t=\"s\"><v>" shared(v) "</v></c>"
    }
    prev = k; last = k
  }
  if (sheet == 1 && r == 1) { cells = cells "<c r=\"Z1\" s=\"1\"/>"; last = 25 }
  if (sheet == 2 && r == 5) {
    for (k = 1; k <= 24; k++) cells = cells "<c r=\"" col(k) r "\" s=\"1\"/>"
    last = 24
  }
  at = (sheet == 1 && r % 40 == 0) ? "" : " r=\"" r "\""
  out = sheet == 1 ? long_out : wide_out
  printf "<row%s spans=\"1:%d\" x14ac:dyDescent=\"0.25\">%s</row>", at, last + 1, cells > out
}
END {
  printf "%s\r\n<sst xmlns=\"%s\" count=\"%d\" uniqueCount=\"%d\">", decl, ns, refs, nsst > sst_out
  for (i = 0; i < nsst; i++) {
    v = sval[i]
    if (v == "Quercus robur") {
      # Rich text: the genus plain, the epithet in italics.
      printf "<si><r><t>Quercus</t></r><r><rPr><i/><sz val=\"11\"/><color theme=\"1\"/><rFont val=\"Calibri\"/><family val=\"2\"/><scheme val=\"minor\"/></rPr><t xml:space=\"preserve\"> robur</t></r></si>" > sst_out
    } else if (v == "Hedera helix") {
      # A phonetic reading, which is not part of the text.
      printf "<si><t>Hedera helix</t><rPh sb=\"0\" eb=\"6\"><t>\343\203\230\343\203\207\343\203\251</t></rPh><phoneticPr fontId=\"1\" type=\"noConversion\"/></si>" > sst_out
    } else {
      printf "<si><t>%s</t></si>", esc(v) > sst_out
    }
  }
  printf "</sst>" > sst_out
}' "$data/survey_long.csv" "$data/survey_wide.csv"

sheets="$book/xl/worksheets"
{
  worksheet_head "A1:Z179"
  printf '<cols><col min="1" max="1" width="24.7109375" customWidth="1"/><col min="5" max="5" width="26.28515625" customWidth="1"/></cols><sheetData>'
  cat "$sheets/sheet2.xml.body"
  printf '</sheetData>%s' "$worksheet_tail"
} >"$sheets/sheet2.xml"
{
  worksheet_head "A1:Y27"
  printf '<sheetData>'
  cat "$sheets/sheet1.xml.body"
  printf '</sheetData><mergeCells count="1"><mergeCell ref="B5:Y5"/></mergeCells>%s' "$worksheet_tail"
} >"$sheets/sheet1.xml"
rm "$sheets"/*.body

zip_parts "$data/survey.xlsx" "$book" '[Content_Types].xml' _rels/.rels xl/workbook.xml xl/_rels/workbook.xml.rels \
  xl/worksheets/sheet1.xml xl/worksheets/sheet2.xml xl/styles.xml xl/sharedStrings.xml docProps/core.xml docProps/app.xml

# ---- damaged.xlsx and encrypted.xlsx -------------------------------------------------
size=$(wc -c <"$data/survey.xlsx")
head -c $((size / 2)) "$data/survey.xlsx" >"$data/damaged.xlsx"
{
  # The compound file header: signature, version 3, little-endian, 512-byte sectors.
  printf '\320\317\021\340\241\261\032\341'
  head -c 16 /dev/zero
  printf '\076\000\003\000\376\377\011\000\006\000'
  head -c $((512 - 34)) /dev/zero
} >"$data/encrypted.xlsx"

# ---- the fuzz seeds -------------------------------------------------------------------
mkdir -p "$corpus"
cp "$data/survey.xlsx" "$data/damaged.xlsx" "$data/encrypted.xlsx" "$corpus/"

tiny() {  # NAME CELLS [SHARED-STRINGS]: the fewest parts a workbook needs
  local dir="$work/$1"
  local types="<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" ContentType=\"application/xml\"/>"
  local rels="<Relationship Id=\"rId1\" Type=\"$ns_rel/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
  local parts=('[Content_Types].xml' xl/workbook.xml xl/_rels/workbook.xml.rels xl/worksheets/sheet1.xml)
  mkdir -p "$dir/xl/_rels" "$dir/xl/worksheets"
  if [ $# -gt 2 ]; then
    rels+="<Relationship Id=\"rId2\" Type=\"$ns_rel/sharedStrings\" Target=\"sharedStrings.xml\"/>"
    printf '<sst xmlns="%s" count="1" uniqueCount="1">%s</sst>' "$ns_main" "$3" >"$dir/xl/sharedStrings.xml"
    parts+=(xl/sharedStrings.xml)
  fi
  printf '<Types xmlns="%s/content-types">%s</Types>' "$ns_pkg" "$types" >"$dir/[Content_Types].xml"
  printf '<workbook xmlns="%s" xmlns:r="%s"><sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>' \
    "$ns_main" "$ns_rel" >"$dir/xl/workbook.xml"
  printf '<Relationships xmlns="%s/relationships">%s</Relationships>' "$ns_pkg" "$rels" >"$dir/xl/_rels/workbook.xml.rels"
  printf '<worksheet xmlns="%s"><sheetData><row r="1">%s</row></sheetData></worksheet>' "$ns_main" "$2" \
    >"$dir/xl/worksheets/sheet1.xml"
  # Stored, not compressed: the fuzzer's changes then reach the XML.
  level=-0 zip_parts "$corpus/$1.xlsx" "$dir" "${parts[@]}"
}
tiny one-number '<c r="A1"><v>0.30000000000000004</v></c>'
tiny one-shared-string '<c r="A1" t="s"><v>0</v></c>' '<si><t>Quercus robur</t></si>'
tiny one-inline-string '<c r="A1" t="inlineStr"><is><t>Hedera helix</t></is></c>'

mkdir -p "$work/notes"
printf 'Quadrat notes: nothing here is a workbook.\n' >"$work/notes/notes.txt"
zip_parts "$corpus/notes.zip" "$work/notes" notes.txt

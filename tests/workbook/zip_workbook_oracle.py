"""Reads a package with programs other than ours, for xlsx_writer_test.cpp.

zipfile checks every entry's CRC-32 and prints "entry NAME SIZE" for each, and every cell
of a sheet must carry its reference; then, unless --zip-only is given, openpyxl reads the
active sheet and prints "cell REF FORMAT HEX" for each cell that holds a value (HEX: the
text's UTF-8 bytes). Problems go to stderr with exit status 1.
"""
import re
import sys
import zipfile

path = sys.argv[1]
with zipfile.ZipFile(path) as archive:
    damaged = archive.testzip()
    if damaged is not None:
        sys.exit(f"CRC mismatch in {damaged}")
    for info in archive.infolist():
        print("entry", info.filename, info.file_size)
    # Spreadsheet programs write every cell's reference, and some readers rely on it.
    for name in archive.namelist():
        if name.startswith("xl/worksheets/"):
            sheet_xml = archive.read(name).decode()
            if re.search(r"<c(?![^>]*\br=)[\s>]", sheet_xml):
                sys.exit(f"a cell of {name} has no reference")

if "--zip-only" not in sys.argv:
    import openpyxl

    # openpyxl hands strings over with the format's "_xHHHH_" escapes (characters XML
    # cannot carry) still in them; they are decoded here as the format defines them.
    escape = re.compile(r"_x([0-9A-Fa-f]{4})_")
    sheet = openpyxl.load_workbook(path).active
    # The sparse store of the cells that exist: walking the full rectangle of a sheet that
    # reaches row 1,048,576 and column XFD would take forever.
    for (row, column), cell in sorted(sheet._cells.items()):
        if cell.value is None:
            continue
        if not isinstance(cell.value, str):
            sys.exit(f"{cell.coordinate} is not text: {cell.value!r}")
        text = escape.sub(lambda m: chr(int(m.group(1), 16)), cell.value)
        print("cell", cell.coordinate, cell.number_format, text.encode().hex())

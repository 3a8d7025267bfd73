"""Reads an .xls file with xlrd and prints what the writer's tests check, as JSON.

usage: xlsread.py FILE [ROW ...]   sheets, sizes, per-sheet totals and the given rows of each sheet
       xlsread.py --stream FILE    the size of the compound file's Workbook stream
"""
import io
import json
import sys

import xlrd
import xlrd.compdoc

TYPES = {xlrd.XL_CELL_EMPTY: "empty", xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number"}


def stream(path):
    log = io.StringIO()
    with open(path, "rb") as f:
        doc = xlrd.compdoc.CompDoc(f.read(), logfile=log)
    return {"size": len(doc.get_named_stream("Workbook")), "log": log.getvalue()}


def workbook(path, rows):
    log = io.StringIO()
    book = xlrd.open_workbook(path, logfile=log, ragged_rows=True)
    sheets = []
    for sheet in book.sheets():
        cells = [c for r in range(sheet.nrows) for c in sheet.row(r)]
        shown = {str(r): [[TYPES.get(c.ctype, str(c.ctype)), c.value] for c in sheet.row(r)]
                 for r in rows if r < sheet.nrows}
        sheets.append({"name": sheet.name, "nrows": sheet.nrows, "rows": shown,
                       "numberSum": sum(c.value for c in cells if c.ctype == xlrd.XL_CELL_NUMBER),
                       "textCells": sum(1 for c in cells if c.ctype == xlrd.XL_CELL_TEXT)})
    return {"sheets": sheets, "log": log.getvalue()}


if sys.argv[1] == "--stream":
    result = stream(sys.argv[2])
else:
    result = workbook(sys.argv[1], [int(a) for a in sys.argv[2:]])
sys.stdout.write(json.dumps(result, ensure_ascii=True))

"""The export's peer: the same detail rows written to an Excel 97 workbook by python3-xlwt."""
import sqlite3
import sys

import xlwt


def main(database, workbook):
    rows = sqlite3.connect(database).execute("select * from ATTIVDETT")
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Foglio1")
    for column, name in enumerate(d[0] for d in rows.description):
        sheet.write(0, column, name)
    count = 0
    for count, row in enumerate(rows, start=1):
        for column, value in enumerate(row):
            # As the program writes them: no value and empty text are empty cells.
            if value is not None and value != "":
                sheet.write(count, column, value)
    book.save(workbook)
    print(count)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

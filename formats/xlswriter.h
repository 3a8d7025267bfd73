#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace Xls {

// Writes an Excel 97 workbook row by row without holding the rows in memory: the cells
// go to a temporary file as they come, and the workbook is assembled by finish().
class WorkbookWriter {
public:
    // What one sheet and one cell of the format can hold.
    static constexpr int dataRowsPerSheet = 65535;
    static constexpr int maxColumns = 256;
    static constexpr int maxTextLength = 32767;

    // `path` must not exist yet; it is created only by finish().
    explicit WorkbookWriter(const QString &path);
    ~WorkbookWriter(); // removes any temporary file
    WorkbookWriter(const WorkbookWriter &) = delete;
    WorkbookWriter &operator=(const WorkbookWriter &) = delete;

    // The heading row written first on every sheet (field names); set it before the first row.
    void setHeading(const QStringList &names);

    // One data row: a null QVariant is an empty cell, a number (double, int, qlonglong) a
    // number cell, anything else its text (toString()) as a text cell; an empty text is an
    // empty cell. A number that is not finite has no number form and goes as its text; a
    // text keeps its first maxTextLength UTF-16 units, and cells past the maxColumns-th are
    // dropped. After 65,535 data rows on a sheet the rows go on in a new sheet, named
    // "Foglio1", "Foglio2", ... each starting with the heading row.
    // Returns false when the temporary storage cannot be written, or after finish().
    bool addRow(const QVariantList &cells);

    // Writes the workbook to `path` (never overwriting an existing file: that is a failure)
    // and returns true; on failure returns false, leaves no partial file, and errorString()
    // says why in Italian.
    bool finish();
    QString errorString() const;

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace Xls

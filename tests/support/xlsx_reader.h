// Reads back an .xlsx file written by the program: cell values, number or text cells, bold, text format, column
// widths and the frozen pane of its first sheet. It unpacks the file with unzip, so nothing but the file itself is
// trusted.
#pragma once

#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

struct XlsxCell {
    QString text;          // the value: the string of a text cell, the number of a number cell in shortest form
    bool isNumber = false; // a number cell
    double number = 0;
    bool bold = false;
    bool textFormat = false; // number format "@"
};

class XlsxFile {
public:
    explicit XlsxFile(const QString& path);

    bool isValid() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    QStringList sheetNames() const { return sheetNames_; }

    // Cells of the first sheet, columns and rows from 1; an unwritten cell is empty.
    XlsxCell cell(int column, int row) const { return cells_.value({row, column}); }
    bool hasCell(int column, int row) const { return cells_.contains({row, column}); }
    int cellCount() const { return static_cast<int>(cells_.size()); }
    int lastRow() const;
    // The texts of one row from column 1 to its last written column.
    QStringList row(int row) const;
    // The width set for a column as the file stores it (the cell padding added, under a character), 0 when none.
    double columnWidth(int column) const { return widths_.value(column); }
    // The rows above and the columns left of a frozen pane, 0 when nothing is frozen.
    int frozenRows() const { return frozenRows_; }
    int frozenColumns() const { return frozenColumns_; }

    // The raw text of one member of the package, empty when absent.
    static QByteArray member(const QString& path, const QString& name);

private:
    QString error_;
    QStringList sheetNames_;
    QMap<QPair<int, int>, XlsxCell> cells_;
    QMap<int, double> widths_;
    int frozenRows_ = 0;
    int frozenColumns_ = 0;
};

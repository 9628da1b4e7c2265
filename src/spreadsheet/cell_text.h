// How the spreadsheet application takes the text typed into a cell: as a number or as text, and how wide it shows.
#pragma once

#include <QString>

#include <optional>

namespace spreadsheet {

// The number a text stands for, as a spreadsheet reads a value typed into a cell: an optional sign, digits with
// a full stop or a comma as the decimal separator, an optional exponent; blanks around it are ignored. Text with
// more significant digits than a double holds (15) stays text, so long codes never lose digits.
std::optional<double> numberFromText(const QString& text);

// Width in the spreadsheet's column units (characters of the standard font) that shows the text whole.
double columnWidthFor(const QString& text, bool bold);

} // namespace spreadsheet

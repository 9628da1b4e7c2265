// Values as the program writes them, in its grids, its printed reports and its exports alike: the plain form of a
// value, sums with two decimals, and picture masks such as "#0.00". Below every other library.
#pragma once

#include <QString>
#include <QStringView>
#include <QVariant>

namespace format {

// Dates as the shop reads and writes them, day first: in the windows, the statements, the filters and the files.
inline constexpr QStringView kDateFormat = u"dd.MM.yyyy";
// A moment to the second, as the history and the build stamp show it.
inline constexpr QStringView kDateTimeFormat = u"dd.MM.yyyy HH:mm:ss";

// Numbers of every kind (integers, floating point); null counts as no number.
bool isNumber(const QVariant& value);
// The value as a number; null, empty and non-numeric text give 0. Text is read with a full stop or a comma.
double toNumber(const QVariant& value);

// A value printed as it comes: whole numbers without decimals, other numbers with up to 15 significant digits
// and the workstation's decimal separator, dates day first, null as empty text.
QString plainText(const QVariant& value);

// A number through a picture mask: "0" a digit always printed, "#" a digit printed when needed, "." the
// decimal separator (as many decimals as digit marks follow it), "," in the whole part groups thousands;
// other characters before and after the digits are kept. Values that are not numbers print plainly; an
// empty mask prints plainly.
QString formatValue(const QVariant& value, const QString& mask);

// A sum of money as the journal's totals line shows it: two decimals, the workstation's separator, no grouping.
QString sumText(double value);

} // namespace format

#pragma once

#include <QChar>
#include <QString>
#include <optional>

namespace orvalis {

// Reads a number typed in the locale's notation: blanks around, optional sign,
// digits with at most one `separator`, optional exponent. Anything else is no
// number. Kept independent of the process locale on purpose.
std::optional<long double> ParseDecimal(const QString &text, QChar separator);
std::optional<long double> ParseDecimal(QStringView text, QChar separator);
// True for a number too large for a 32-bit float ("1e39"): ReadDecimal gives 0
// for it, which must not pass for the value typed.
bool ExceedsFloat(QStringView text, QChar separator);
// The number as a 32-bit float; 0 when the text is not a number.
float ReadDecimal(const QString &text, QChar separator);
float ReadDecimal(QStringView text, QChar separator);
// Leading blanks, optional sign and decimal digits, nothing else; `fallback` otherwise.
int ReadWholeNumber(const QString &text, int fallback);
// The text without the blanks (spaces, tabs) that number entry allows around a number.
QString TrimBlanks(const QString &text);
// Every comma becomes a period.
QString PointDecimal(const QString &text);
// Every period becomes a comma for a comma separator, every comma a period otherwise.
QString ToLocaleSeparator(const QString &text, QChar separator);

}  // namespace orvalis

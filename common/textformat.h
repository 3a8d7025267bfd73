#pragma once

#include <QLocale>
#include <QString>
#include <QVariant>

#include <optional>

// Text building shared by every list line, printed column and stored date.
namespace TextFormat {

enum class Align { Left, Right };

// Stores text into a field of exactly `width` characters: a longer text is cut,
// a shorter one padded with blanks (on the right when left-aligned).
QString fixedWidth(const QString &text, int width, Align align = Align::Left);

// The text without the blanks at its end (padded cells, volunteer texts of an empty first name).
QString withoutTrailingBlanks(const QString &text);
// A field of a CSV file separated by ';': quoted, its quotes doubled, when it holds a separator,
// a quote or a line break.
QString csvField(const QString &text);
// The text with each character that shows nothing written as its code (<U+200B>), so that two
// texts that look alike can be told apart.
QString withVisibleCodes(const QString &text);

// The three number patterns of the lists and printouts. The point of each pattern
// stands for the decimal separator of `locale`.
enum class Pattern {
    LeadingZeros,  // "000.00"
    NoZeroInteger, // "###.00"
    OneDigit,      // "##0.00"
};
QString formatNumber(double value, Pattern pattern, const QLocale &locale = QLocale());

// A formatted number right-aligned in a field of `width` characters. A longer one keeps
// its first `width` characters, losing decimals but never a digit of the whole part:
// such a number widens the field instead.
QString numberField(const QString &formatted, int width, const QLocale &locale = QLocale());

// A stored number as a box shows it: no trailing zeros, the locale's separator; no value
// shows as empty text, and text stays as it is.
QString numberText(const QVariant &value, const QLocale &locale = QLocale());
QString numberText(const std::optional<double> &value, const QLocale &locale = QLocale());

// Reads a number typed by the user: optional sign, digits, and one decimal separator:
// the locale's, a comma or a point, since a volunteer types 7,5 whatever the computer's
// settings. Anything else (letters, exponents, thousands separators, blanks inside)
// is not a number.
std::optional<double> readNumber(const QString &typed, const QLocale &locale = QLocale());

// GG/MM/AAAA rewritten year first (AAAA/MM/GG) from characters 7-10, 3-6 and 1-2,
// so that text order is date order.
QString yearFirst(const QString &date);

} // namespace TextFormat

// Hours typed in a box: empty reads as 0 when `emptyIsZero`; letters or a negative
// number read as nothing.
std::optional<double> typedHours(const QString &text, bool emptyIsZero);
// The message that refuses hours typed in a box named `what`.
QString wrongHoursMessage(const QString &what);

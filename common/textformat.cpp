#include "common/textformat.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace TextFormat {

QString fixedWidth(const QString &text, int width, Align align)
{
    if (width <= 0)
        return {};
    if (text.size() >= width)
        return text.left(width);
    return align == Align::Left ? text.leftJustified(width, u' ') : text.rightJustified(width, u' ');
}

QString withVisibleCodes(const QString &text)
{
    QString shown;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            shown += u"<U+"_s + QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0') + u'>';
        else
            shown += c;
    }
    return shown;
}

QString csvField(const QString &text)
{
    if (!text.contains(u';') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    return u'"' + QString(text).replace(u"\""_s, u"\"\""_s) + u'"';
}

QString withoutTrailingBlanks(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.left(end);
}

QString formatNumber(double value, Pattern pattern, const QLocale &locale)
{
    if (!std::isfinite(value))
        value = 0.0;
    QString whole;
    QString decimals;
    bool negative = false;
    const double quarters = std::fabs(value) * 4;
    if (quarters == std::floor(quarters) && quarters < 1e15) {
        // Hours come in quarters, whose two decimals are exact: no rounding to get right,
        // and lists print hundreds of thousands of them.
        const auto cents = static_cast<qlonglong>(quarters) * 25;
        whole = QString::number(cents / 100);
        const int rest = static_cast<int>(cents % 100);
        const QChar pair[] = {QChar(u'0' + rest / 10), QChar(u'0' + rest % 10)};
        decimals = QString(pair, 2);
        negative = value < 0 && cents != 0;
    } else {
        // Formatting in the C locale first gives correct rounding of the binary value;
        // the separator is swapped afterwards.
        const QString digits = QString::number(std::fabs(value), 'f', 2);
        negative = value < 0 && digits != u"0.00"_s;
        const qsizetype point = digits.indexOf(u'.');
        whole = digits.left(point);
        decimals = digits.mid(point + 1);
    }
    switch (pattern) {
    case Pattern::LeadingZeros:
        whole = whole.rightJustified(3, u'0');
        break;
    case Pattern::NoZeroInteger:
        if (whole == u"0"_s)
            whole.clear();
        break;
    case Pattern::OneDigit:
        break;
    }
    const QString point = locale.decimalPoint();
    QString result;
    result.reserve(1 + whole.size() + point.size() + decimals.size());
    if (negative)
        result += u'-';
    result += whole;
    result += point;
    result += decimals;
    return result;
}

QString numberField(const QString &formatted, int width, const QLocale &locale)
{
    if (formatted.size() <= width)
        return formatted.rightJustified(width, u' ');
    const qsizetype separator = formatted.indexOf(locale.decimalPoint());
    const qsizetype whole = separator < 0 ? formatted.size() : separator;
    if (whole >= width)
        return formatted.left(whole);
    QString cut = formatted.left(width);
    if (cut.endsWith(locale.decimalPoint()))
        cut.chop(locale.decimalPoint().size());
    return cut.rightJustified(width, u' ');
}

QString numberText(const std::optional<double> &value, const QLocale &locale)
{
    return value ? numberText(QVariant(*value), locale) : QString();
}

QString numberText(const QVariant &value, const QLocale &locale)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::Double) {
        // Plain digits, as typed: no thousands separator.
        QLocale plain = locale;
        plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
        return plain.toString(value.toDouble(), 'f', QLocale::FloatingPointShortest);
    }
    return value.toString();
}

std::optional<double> readNumber(const QString &typed, const QLocale &locale)
{
    const QString text = typed.trimmed();
    const QString separator = locale.decimalPoint();
    qsizetype i = 0;
    QString normalised;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        if (text[i] == u'-')
            normalised += u'-';
        ++i;
    }
    bool sawDigit = false;
    bool sawSeparator = false;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            normalised += c;
            sawDigit = true;
            ++i;
        } else if (!sawSeparator && (c == u'.' || c == u',' || text.mid(i, separator.size()) == separator)) {
            normalised += u'.';
            sawSeparator = true;
            i += (c == u'.' || c == u',') ? 1 : separator.size();
        } else {
            return std::nullopt;
        }
    }
    if (!sawDigit)
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(normalised, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString yearFirst(const QString &date)
{
    return date.mid(6, 4) + date.mid(2, 4) + date.mid(0, 2);
}

} // namespace TextFormat

std::optional<double> typedHours(const QString &text, bool emptyIsZero)
{
    if (text.trimmed().isEmpty())
        return emptyIsZero ? std::optional<double>(0.0) : std::nullopt;
    const auto hours = TextFormat::readNumber(text);
    if (!hours || *hours < 0)
        return std::nullopt;
    return hours;
}

QString wrongHoursMessage(const QString &what)
{
    return what + u" errato: scrivere un numero non negativo, per esempio 7"_s + QLocale().decimalPoint() + u"5."_s;
}

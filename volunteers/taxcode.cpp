#include "volunteers/taxcode.h"

#include "common/datecheck.h"

using namespace Qt::StringLiterals;

namespace TaxCode {
namespace {
bool isVowel(QChar c)
{
    return c == u'A' || c == u'E' || c == u'I' || c == u'O' || c == u'U';
}

// The value of a character in an odd position (1st, 3rd, ...) of the published table.
int oddValue(QChar c)
{
    static const int letters[26] = {1,  0,  5, 7, 9, 13, 15, 17, 19, 21, 2,  4,  18,
                                    20, 11, 3, 6, 8, 12, 14, 16, 10, 22, 25, 24, 23};
    if (c >= u'0' && c <= u'9')
        return letters[c.unicode() - u'0'];
    if (c >= u'A' && c <= u'Z')
        return letters[c.unicode() - u'A'];
    return 0;
}

int evenValue(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'A' && c <= u'Z')
        return c.unicode() - u'A';
    return 0;
}

struct Walk {
    QString consonants;
    QString vowels;
};

// Consonants and vowels of a name in order; the vowels never more than three.
Walk walk(const QString &letters, int stopAtConsonants)
{
    Walk result;
    for (const QChar c : letters) {
        if (!isVowel(c)) {
            result.consonants += c;
            if (result.consonants.size() == stopAtConsonants)
                break;
        } else if (result.vowels.size() < 3) {
            result.vowels += c;
        }
    }
    return result;
}
} // namespace

QString lettersOf(const QString &name)
{
    QString letters;
    // Decomposing separates each accent from its letter, so È gives E and its accent.
    for (const QChar c : name.toUpper().normalized(QString::NormalizationForm_D)) {
        if (c >= u'A' && c <= u'Z')
            letters += c;
    }
    return letters;
}

QString surnamePart(const QString &letters)
{
    const Walk found = walk(letters, 3);
    if (found.consonants.size() == 3)
        return found.consonants;
    return (found.consonants + found.vowels + u"XXX"_s).left(3);
}

QString firstNamePart(const QString &letters)
{
    Walk found = walk(letters, 4);
    if (found.consonants.size() == 4)
        found.consonants = QString(found.consonants[0]) + found.consonants[2] + found.consonants[3];
    return (found.consonants + found.vowels + u"XXX"_s).left(3);
}

QString monthLetter(const QString &month)
{
    static const QString letters = u"ABCDEHLMPRST"_s;
    bool ok = false;
    const int number = month.toInt(&ok);
    if (!ok || month.size() != 2 || number < 1 || number > 12)
        return {};
    return letters.mid(number - 1, 1);
}

QChar checkCharacter(const QString &first15)
{
    int sum = 0;
    for (int i = 0; i < 15 && i < first15.size(); ++i)
        sum += i % 2 == 0 ? oddValue(first15[i]) : evenValue(first15[i]);
    return QChar(u'A' + sum % 26);
}

std::optional<QChar> wrongCheckCharacter(const QString &code)
{
    // Letters where the code has letters; a digit, or the letter standing for it in a namesake's
    // code, where it has digits; a month's letter in the ninth place.
    static const QString digitLetters = u"LMNPQRSTUV"_s;
    const auto letter = [](QChar c) { return c >= u'A' && c <= u'Z'; };
    const auto digit = [&](QChar c) { return (c >= u'0' && c <= u'9') || digitLetters.contains(c); };
    if (code.size() != 16)
        return std::nullopt;
    for (qsizetype i = 0; i < 16; ++i) {
        const bool digitPlace = i == 6 || i == 7 || i == 9 || i == 10 || i == 12 || i == 13 || i == 14;
        if (digitPlace ? !digit(code[i]) : !letter(code[i]))
            return std::nullopt;
    }
    if (!u"ABCDEHLMPRST"_s.contains(code[8]))
        return std::nullopt;
    const QChar expected = checkCharacter(code.left(15));
    return code[15] == expected ? std::nullopt : std::optional<QChar>(expected);
}

std::optional<QString> problemWithCode(const QString &code)
{
    const auto expected = wrongCheckCharacter(code);
    if (!expected)
        return std::nullopt;
    return u"Codice fiscale errato: il carattere di controllo dovrebbe essere %1."_s.arg(*expected);
}

std::optional<QString> problemWith(const QString &surname, const QString &firstName, const QString &sex,
                                   const QString &municipality, const QString &birthDate)
{
    // A name with no letter at all (blanks only, an apostrophe) is as good as missing.
    if (lettersOf(surname).isEmpty())
        return u"Manca Cognome."_s;
    if (lettersOf(firstName).isEmpty())
        return u"Manca Nome."_s;
    if (sex != u"M"_s && sex != u"F"_s)
        return u"Sesso errato."_s;
    if (municipality.isEmpty())
        return u"Manca Comune di nascita."_s;
    if (!isCalendarDate(birthDate))
        return u"Data nascita errata. Esempio formato 01/01/2006"_s;
    return std::nullopt;
}

QString compute(const QString &surname, const QString &firstName, const QString &sex, const QString &birthDate,
                const QString &cadastralCode)
{
    QString code = surnamePart(lettersOf(surname)) + firstNamePart(lettersOf(firstName));
    code += birthDate.mid(8, 2);
    code += monthLetter(birthDate.mid(3, 2));
    const QString day = birthDate.left(2);
    code += sex == u"F"_s ? QString::number(day.toInt() + 40) : day;
    code += cadastralCode;
    return code + checkCharacter(code);
}

} // namespace TaxCode

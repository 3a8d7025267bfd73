#pragma once

#include <QString>

#include <optional>

// The Italian tax code of a person, by the published rules.
namespace TaxCode {

// A name as the code reads it: capitals, accents dropped (È as E), and everything
// that is not a letter A-Z left out, blanks, apostrophes and hyphens included.
QString lettersOf(const QString &name);

// Three letters from the letters of a surname, or of a first name (which takes the
// first, third and fourth consonant when it has four or more).
QString surnamePart(const QString &letters);
QString firstNamePart(const QString &letters);

// The letter of a month "01".."12"; empty for anything else.
QString monthLetter(const QString &month);

// The check character of the first fifteen characters.
QChar checkCharacter(const QString &first15);

// The check character a typed code of sixteen characters should end with, when it ends with another;
// nothing when it is right or the code is not of the usual shape (empty, a provisional code of
// digits, one typed in part). Codes altered for namesakes (letters in place of digits) are of it.
std::optional<QChar> wrongCheckCharacter(const QString &code);
// The message for a code whose check character is wrong; nothing for any other.
std::optional<QString> problemWithCode(const QString &code);

// What is wrong with the data before a code can be made, as the message to show;
// nothing when they are usable. The date must be a real GG/MM/AAAA date.
std::optional<QString> problemWith(const QString &surname, const QString &firstName, const QString &sex,
                                   const QString &municipality, const QString &birthDate);

// The whole code, given checked data and the municipality's cadastral code.
QString compute(const QString &surname, const QString &firstName, const QString &sex, const QString &birthDate,
                const QString &cadastralCode);

} // namespace TaxCode

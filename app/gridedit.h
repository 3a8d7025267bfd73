#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <optional>

// A cell of the main grid changed by the user: checked, and stored, as the window that owns the
// record checks and stores it. Every refusal is said before the caller hears of it.
namespace GridEdit {

// Whether the grid lets a field be changed: an activity's year-first date follows its start,
// and its risk hours its detail rows.
bool editable(const QString &table, const QString &field);

// A row as the grid read it: the fields of its table and their values.
struct Row {
    const QStringList &fields;
    const QVariantList &values;
    // The value of a field as text; empty for none.
    QString text(const QString &field) const;
};

// A value typed into a field of `row` as the owning window stores it (capitals where it
// writes capitals, a number for a number field), once its checks are passed, the other fields
// of the row counted; none when they refuse it.
std::optional<QVariant> checked(const QString &table, const QString &field, const QString &typed, const Row &row);

// Whether a change of the field takes other rows with it, through changeKey(): an activity's
// description, dates, place and province are copied into its detail rows, a volunteer's names too.
bool movesOtherRows(const QString &table, const QString &field);
// The fields that find a row of the table again once its key has changed.
QStringList keyFields(const QString &table);
// What changeKey() came to: the row's key afterwards, in the order of keyFields(), or none; and
// whether another PC had changed or deleted the row, which was then left alone.
struct KeyChange {
    std::optional<QVariantList> key;
    bool changedElsewhere = false;
};
// Gives the field `value` in `row`, with the rows that follow it, all or nothing.
KeyChange changeKey(const QString &table, const QString &field, const QVariant &value, const Row &row);

// What a second row of the same key is called, as the owning window says it.
QString duplicateMessage(const QString &table);

} // namespace GridEdit

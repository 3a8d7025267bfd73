#include "database/sql.h"

#include "database/serverconnection.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace Sql {

QString likeFolded(const QSqlDatabase &db, const QString &field)
{
    // A server compares with LIKE only under a deterministic collation; ICU's root one folds
    // letter case for ILIKE as the keys do.
    return Server::isServer(db) ? field + u" COLLATE \"und-x-icu\" ILIKE ? ESCAPE '\\'"_s
                                : field + u" LIKE ? ESCAPE '\\'"_s;
}

QString exact(const QSqlDatabase &db, const QString &expression)
{
    return expression + (Server::isServer(db) ? u" COLLATE \"C\""_s : u" COLLATE BINARY"_s);
}

QString orderOfMany(const QSqlDatabase &db, const QStringList &fields)
{
    if (Server::isServer(db))
        return u" order by "_s + fields.join(u", "_s);
    // A file's rows are read in the table's order and then sorted: walking the fields' index
    // would fetch each row from its page in the index's order, tens of thousands of jumps
    // about the file. A field behind + is no index's, and keeps its collation.
    return u" order by +"_s + fields.join(u", +"_s) + u", rowid"_s;
}

QString hasDateShape(const QSqlDatabase &db, const QString &field)
{
    // A server's regular expression costs more than the rest of reading a row: ten characters,
    // the slashes in their places, and nothing but digits besides.
    const QString text = field + u" COLLATE \"C\""_s;
    return Server::isServer(db) ? u"coalesce("_s + text + u" LIKE '__/__/____' AND translate("_s + text +
                                      u", '0123456789', '') = '//', false)"_s
                                : u"ifnull("_s + field + u" glob '[0-9][0-9]/[0-9][0-9]/[0-9][0-9][0-9][0-9]', 0)"_s;
}

std::optional<QString> withoutOrder(const QString &select)
{
    static const QString name = u"(?:[A-Za-z_][A-Za-z0-9_.]*|\\[[^\\]]*\\])"_s;
    static const QString key = name + u"(?:\\s+(?:asc|desc))?"_s;
    static const QRegularExpression orderBy(u"\\s+order\\s+by\\s+"_s + key + u"(?:\\s*,\\s*"_s + key + u")*\\s*$"_s,
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = orderBy.match(select);
    if (match.hasMatch())
        return select.left(match.capturedStart());
    if (select.contains(u"order"_s, Qt::CaseInsensitive))
        return std::nullopt;
    return select;
}

bool hasLimit(const QString &select)
{
    return select.contains(u"limit"_s, Qt::CaseInsensitive);
}

} // namespace Sql

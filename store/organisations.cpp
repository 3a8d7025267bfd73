#include "store/organisations.h"

#include "common/volunteertext.h"
#include "database/datasource.h"
#include "database/serverconnection.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Organisations {
namespace {
const QString named = u"select * from ASSO where DENOM = ? order by DENOM"_s;

std::optional<Organisation> current(const DataSource &organisations)
{
    if (organisations.eof())
        return std::nullopt;
    return Records::organisation(organisations);
}

// The next free code, one past every number an organisation or a volunteer holds as its code. On a
// server, other PCs' new codes wait for this transaction's, so that two never take the same.
Store::Result nextCode(DataSource &organisations, QString *code)
{
    if (Server::isServer(organisations.database())) {
        if (Store::Result held = organisations.execute(u"lock table ASSO in share row exclusive mode"_s); !held.ok())
            return held;
    }
    organisations.setRecordSource(u"select CODASS from ASSO union select CODASS from VOLO"_s);
    organisations.refresh();
    qint64 highest = 0;
    for (; !organisations.eof(); organisations.moveNext()) {
        bool number = false;
        const qint64 held = organisations.text(u"CODASS"_s).trimmed().toLongLong(&number);
        if (number)
            highest = std::max(highest, held);
    }
    if (organisations.failed())
        return organisations.lastError();
    *code = QString::number(highest + 1);
    return {};
}

// Every write is read back at once, so that the source shows what is stored.
Store::Result stored(DataSource &organisations, const Store::Result &result)
{
    organisations.refresh();
    return result;
}
} // namespace

const QString &inOrder()
{
    static const QString sql = u"select * from ASSO order by DENOM"_s;
    return sql;
}

QStringList names(DataSource &organisations)
{
    organisations.setRecordSource(inOrder());
    organisations.refresh();
    QStringList found;
    for (; !organisations.eof(); organisations.moveNext())
        found << organisations.text(u"DENOM"_s);
    return found;
}

std::optional<Organisation> first(DataSource &organisations)
{
    organisations.setRecordSource(inOrder());
    organisations.refresh();
    return current(organisations);
}

std::optional<Organisation> find(DataSource &organisations, const QString &name)
{
    organisations.setRecordSource(named, {name});
    organisations.refresh();
    return current(organisations);
}

Store::Result insert(DataSource &organisations, const Organisation &organisation)
{
    const Store::Result result = Store::inTransaction(organisations.database(), [&]() -> Store::Result {
        Organisation coded = organisation;
        if (coded.code.trimmed().isEmpty()) {
            if (Store::Result given = nextCode(organisations, &coded.code); !given.ok())
                return given;
        }
        // The source goes back to the table it adds to.
        organisations.setRecordSource(inOrder());
        organisations.addNew();
        Records::write(organisations, coded, Records::NoValue::Null);
        return organisations.update();
    });
    organisations.setRecordSource(inOrder());
    return stored(organisations, result);
}

Store::Result codeOf(DataSource &organisations, const QString &name, QString *code)
{
    const Store::Result result = Store::inTransaction(organisations.database(), [&]() -> Store::Result {
        QString next;
        auto found = find(organisations, name);
        if (organisations.failed())
            return organisations.lastError();
        if (found && !found->code.trimmed().isEmpty()) {
            *code = found->code;
            return {};
        }
        if (Store::Result given = nextCode(organisations, &next); !given.ok())
            return given;
        // Found again once the code is decided: the walk of the codes left it.
        found = find(organisations, name);
        if (organisations.failed())
            return organisations.lastError();
        if (!found)
            return Store::failure(
                u"l'organizzazione %1 non c'è più: un altro utente l'ha cambiata o tolta"_s.arg(name));
        if (!found->code.trimmed().isEmpty()) {
            *code = found->code;
            return {};
        }
        organisations.edit();
        organisations.setValue(u"CODASS"_s, next);
        *code = next;
        return organisations.update();
    });
    return stored(organisations, result);
}

std::optional<QString> nameOfCode(DataSource &organisations, const QString &code)
{
    if (code.trimmed().isEmpty())
        return std::nullopt;
    organisations.setRecordSource(u"select * from ASSO where CODASS = ? order by DENOM"_s, {code});
    organisations.refresh();
    return organisations.eof() ? std::nullopt : std::optional<QString>(organisations.text(u"DENOM"_s));
}

int volunteersOf(DataSource &organisations, const QString &code)
{
    if (code.trimmed().isEmpty())
        return 0;
    organisations.setRecordSource(u"select count(*) as QUANTI from VOLO where CODASS = ?"_s, {code});
    organisations.refresh();
    return organisations.eof() ? 0 : organisations.value(u"QUANTI"_s).toInt();
}

QHash<QString, QString> namesByCode(DataSource &organisations)
{
    QHash<QString, QString> names;
    organisations.setRecordSource(u"select CODASS, DENOM from ASSO"_s);
    organisations.refresh();
    for (; !organisations.eof(); organisations.moveNext()) {
        const QString code = organisations.text(u"CODASS"_s).trimmed();
        if (!code.isEmpty())
            names.insert(code, organisations.text(u"DENOM"_s));
    }
    return names;
}

QString shownName(const QHash<QString, QString> &names, const QString &code)
{
    if (code.trimmed().isEmpty())
        return QString();
    return names.value(code.trimmed(), deletedName());
}

QHash<QString, QString> ofVolunteers(DataSource &source)
{
    const QHash<QString, QString> names = namesByCode(source);
    QHash<QString, QString> organisations;
    if (source.failed())
        return organisations;
    source.setRecordSource(u"select COGN, NOME, CODASS from VOLO"_s);
    source.refresh();
    for (; !source.eof(); source.moveNext()) {
        organisations.insert(VolunteerText::textKey(source.text(u"COGN"_s), source.text(u"NOME"_s)),
                             shownName(names, source.text(u"CODASS"_s)));
    }
    return organisations;
}

const QString &deletedName()
{
    static const QString name = u"(organizzazione eliminata)"_s;
    return name;
}

Store::Result rewrite(DataSource &organisations, const QString &name, const Organisation &organisation,
                      const AsRead *asRead)
{
    const Store::Result result = Store::inTransaction(organisations.database(), [&]() -> Store::Result {
        const auto found = find(organisations, name);
        if (organisations.failed())
            return organisations.lastError();
        if (!found || (asRead && !organisations.holds(asRead->fields, asRead->values)))
            return Store::changedMeanwhile();
        organisations.edit();
        Records::write(organisations, organisation, Records::NoValue::Null);
        return organisations.update();
    });
    return stored(organisations, result);
}

QStringList windowFields()
{
    return {u"CODASS"_s, u"DENOM"_s, u"INDIR"_s, u"CAP"_s,  u"CITTA"_s,  u"PROV"_s,
            u"TEL"_s,    u"FAX"_s,   u"MAIL"_s,  u"RESP"_s, u"TELRESP"_s};
}

Store::Result remove(DataSource &organisations)
{
    return stored(organisations, organisations.remove());
}
} // namespace Organisations

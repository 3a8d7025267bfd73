#include "store/volunteers.h"

#include "common/volunteertext.h"
#include "store/datasource.h"
#include "store/schema.h"

#include <QSqlError>

using namespace Qt::StringLiterals;

namespace {
QString withoutTrailingBlanks(QString text)
{
    while (text.endsWith(u' '))
        text.chop(1);
    return text;
}

// A volunteer without surname or first name is compared as empty text: no value matches an
// empty field, and the reverse.
QString matching(const QString &field, bool blank)
{
    return blank ? u"("_s + field + u" IS NULL OR "_s + field + u" = '')"_s : field + u" = ?"_s;
}

QString lookup(bool blankSurname, bool blankName)
{
    return u" from volo where "_s + matching(u"COGN"_s, blankSurname) + u" AND "_s + matching(u"NOME"_s, blankName);
}

// Every write is read back at once, so that the source shows what is stored.
Store::Result stored(DataSource &volunteers, const Store::Result &result)
{
    volunteers.refresh();
    return result;
}

void writeEntered(DataSource &volunteers, const Volunteer &v)
{
    volunteers.setValue(u"CODASS"_s, v.organisationCode);
    volunteers.setValue(u"CODVOL"_s, v.code);
    volunteers.setValue(u"COGN"_s, v.surname);
    volunteers.setValue(u"NOME"_s, v.name);
    volunteers.setValue(u"INDIR"_s, v.address);
    volunteers.setValue(u"CAP"_s, v.postCode);
    volunteers.setValue(u"CITTA"_s, v.city);
    volunteers.setValue(u"PROV"_s, v.province);
    volunteers.setValue(u"TEL"_s, v.phone);
    volunteers.setValue(u"MAIL"_s, QVariant());
    volunteers.setValue(u"SPEC"_s, v.specialisation);
    volunteers.setValue(u"DATANA"_s, v.birthDate);
    volunteers.setValue(u"LUOGONA"_s, v.birthPlace);
    volunteers.setValue(u"PROVNA"_s, v.birthProvince);
    volunteers.setValue(u"CODFISC"_s, v.taxCode);
    volunteers.setValue(u"SESSO"_s, v.sex);
    volunteers.setValue(u"NOTE"_s, v.note);
    volunteers.setValue(u"NOTE2"_s, v.note2);
    volunteers.setValue(u"NOTE3"_s, v.note3);
}
} // namespace

namespace Volunteers {
std::optional<Shown> findByText(DataSource &volunteers, const QString &text)
{
    const QString wanted = withoutTrailingBlanks(text);
    volunteers.setRecordSource(u"select * from VOLO order by NOME"_s);
    volunteers.refresh();
    for (; !volunteers.eof(); volunteers.moveNext()) {
        const QString candidate = VolunteerText::of(volunteers.text(u"COGN"_s), volunteers.text(u"NOME"_s));
        if (!VolunteerText::same(withoutTrailingBlanks(candidate), wanted))
            continue;
        const auto valued = [&](const QString &field) { return !volunteers.value(field).isNull(); };
        return Shown{Records::volunteer(volunteers), valued(u"SPEC"_s), valued(u"NOTE"_s), valued(u"NOTE2"_s),
                     valued(u"NOTE3"_s)};
    }
    return std::nullopt;
}

std::optional<Volunteer> find(DataSource &volunteers, const QString &surname, const QString &name)
{
    volunteers.setRecordSource(u"select * from VOLO where COGN = ? and nome = ? order by COGN, NOME"_s,
                               {surname, name});
    volunteers.refresh();
    if (volunteers.eof())
        return std::nullopt;
    return Records::volunteer(volunteers);
}

Store::Result insert(DataSource &volunteers, const Volunteer &volunteer)
{
    volunteers.addNew();
    writeEntered(volunteers, volunteer);
    return stored(volunteers, volunteers.update());
}

Store::Result rewrite(DataSource &volunteers, const Volunteer &volunteer)
{
    volunteers.edit();
    writeEntered(volunteers, volunteer);
    return stored(volunteers, volunteers.update());
}

Store::Result remove(DataSource &volunteers)
{
    return stored(volunteers, volunteers.remove());
}

void addExtraVolunteers(DataSource &extra, DataSource &volunteers)
{
    extra.setRecordSource(u"select * from VOLOEXTRA order by COGN, NOME"_s);
    extra.refresh();
    const int fields = int(Schema::findTable(Schema::voloextra)->fields.size());
    for (; !extra.eof(); extra.moveNext()) {
        volunteers.addNew();
        for (int position = 0; position < fields; ++position)
            volunteers.setValue(position, extra.value(position));
        volunteers.update();
        volunteers.refresh();
    }
}
} // namespace Volunteers

VolunteerImport::VolunteerImport(DataSource &volunteers)
    : m_volunteers(volunteers)
    , m_db(volunteers.database())
{
    for (const Schema::Field &field : Schema::findTable(Schema::volo)->fields)
        m_fields << field.name;
    for (int blanks = 0; blanks < 4; ++blanks)
        m_finds[blanks] = std::make_unique<PreparedStatement>(m_db, u"select 1"_s + lookup(blanks & 1, blanks & 2));
    m_insert = std::make_unique<PreparedStatement>(m_db, u"INSERT INTO "_s + Schema::volo + u" ("_s +
                                                             m_fields.join(u", "_s) + u") VALUES ("_s +
                                                             QStringList(m_fields.size(), u"?"_s).join(u", "_s) + u')');
    DataSource::beforeWrite(volunteers.fileName());
}

VolunteerImport::~VolunteerImport() = default;

void VolunteerImport::walk(DataSource &exported)
{
    exported.setRecordSource(u"select * from volo order by COGN,NOME"_s);
    exported.refresh();
}

Store::Result VolunteerImport::lookUp(const DataSource &exported, bool *present)
{
    const QVariant surname = exported.value(u"COGN"_s);
    const QVariant name = exported.value(u"NOME"_s);
    const bool blankSurname = surname.toString().isEmpty();
    const bool blankName = name.toString().isEmpty();
    // The text for the volunteer source is made once, for the last look-up only.
    m_lastBlanks = (blankSurname ? 1 : 0) + (blankName ? 2 : 0);
    m_lastValues.clear();
    if (!blankSurname)
        m_lastValues << surname;
    if (!blankName)
        m_lastValues << name;
    return m_finds[m_lastBlanks]->run(m_lastValues, present);
}

Store::Result VolunteerImport::add(const DataSource &exported)
{
    // The export's fields are found by name once: the walk reads the same fields on every row.
    if (m_exportedPositions.empty()) {
        for (const QString &field : std::as_const(m_fields)) {
            int found = -1;
            for (int position = 0; position < exported.fieldCount() && found < 0; ++position) {
                if (exported.fieldName(position).compare(field, Qt::CaseInsensitive) == 0)
                    found = position;
            }
            m_exportedPositions.push_back(found);
        }
    }
    m_row.clear();
    // A field the export lacks is added without a value.
    for (const int position : m_exportedPositions)
        m_row << (position < 0 ? QVariant() : exported.value(position));
    return m_insert->run(m_row);
}

void VolunteerImport::begin()
{
    m_db.transaction();
}

Store::Result VolunteerImport::commit()
{
    if (m_db.commit())
        return {};
    const Store::Result refused = Store::failure(m_db.lastError().text());
    m_db.rollback();
    return refused;
}

void VolunteerImport::rollback()
{
    m_db.rollback();
}

void VolunteerImport::showLastLookedUp()
{
    if (m_lastBlanks >= 0)
        m_volunteers.setRecordSource(
            u"select *"_s + lookup(m_lastBlanks & 1, m_lastBlanks & 2) + u" order by COGN,NOME"_s, m_lastValues);
    m_volunteers.refresh();
}

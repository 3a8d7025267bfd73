#include "app/gridmodel.h"

#include "common/messages.h"
#include "common/textformat.h"
#include "store/database.h"
#include "store/datasource.h"
#include "store/schema.h"

#include <QLocale>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

GridModel::GridModel(DataSource *source, QObject *parent)
    : QAbstractTableModel(parent)
    , m_source(source)
{
    connect(source, &DataSource::refreshed, this, &GridModel::reload);
}

void GridModel::reload()
{
    beginResetModel();
    m_rows.clear();
    m_fields.clear();
    m_table = m_source->tableName();
    const DataSource::Statement statement = m_source->statement();
    QSqlQuery query(m_source->database());
    query.setForwardOnly(true);
    bool ok = query.prepare(statement.sql);
    for (const QVariant &value : m_source->recordValues())
        query.addBindValue(value);
    ok = ok && query.exec();
    if (ok) {
        const QSqlRecord record = query.record();
        const int first = statement.hasRowid ? 1 : 0;
        for (int i = first; i < record.count(); ++i)
            m_fields << record.fieldName(i);
        while (query.next()) {
            Row row;
            row.rowid = statement.hasRowid ? query.value(0).toLongLong() : -1;
            row.values.reserve(m_fields.size());
            for (int i = first; i < record.count(); ++i)
                row.values << query.value(i);
            m_rows.push_back(std::move(row));
        }
    }
    endResetModel();
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_fields.size());
}

QString GridModel::shown(const QVariant &value) const
{
    return TextFormat::numberText(value);
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return shown(m_rows[static_cast<size_t>(index.row())].values.value(index.column()));
    return {};
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_fields.value(section);
    return {};
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (index.isValid() && !m_table.isEmpty())
        result |= Qt::ItemIsEditable;
    return result;
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount() || m_table.isEmpty())
        return false;
    Row &row = m_rows[static_cast<size_t>(index.row())];
    const QString field = m_fields.value(index.column());
    const QString typed = value.toString();
    if (typed == shown(row.values.value(index.column())))
        return false;

    QVariant stored = typed;
    if (Schema::kindOf(m_table, field) != Schema::Kind::Text) {
        if (typed.trimmed().isEmpty()) {
            stored = QVariant();
        } else if (const auto number = TextFormat::readNumber(typed)) {
            stored = *number;
        } else {
            Messages::report(u"Il campo %1 accetta solo numeri: resta il valore registrato."_s.arg(field));
            return false;
        }
    }
    DataSource::beforeWrite(m_source->fileName());
    const Store::Result result = Store::execute(
        m_source->database(), u"UPDATE "_s + m_table + u" SET "_s + field + u" = ? WHERE rowid = ?"_s,
        {stored, row.rowid});
    if (result.number == Store::duplicateKey) {
        Messages::report(u"Esiste già un'altra riga con questo valore: modifica non registrata."_s);
        return false;
    }
    if (!result.ok()) {
        Messages::report(u"Modifica non registrata: "_s + result.description);
        return false;
    }
    // Read back what the store keeps, so the cell shows the stored value.
    QSqlQuery readBack(m_source->database());
    readBack.prepare(u"SELECT "_s + field + u" FROM "_s + m_table + u" WHERE rowid = ?"_s);
    readBack.addBindValue(row.rowid);
    row.values[index.column()] = readBack.exec() && readBack.next() ? readBack.value(0) : stored;
    emit dataChanged(index, index);
    return true;
}

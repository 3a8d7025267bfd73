#include "app/gridmodel.h"

#include "app/gridedit.h"
#include "common/textformat.h"
#include "database/datasource.h"
#include "store/database.h"
#include "store/grid.h"
#include "ui/messages.h"

#include <QHash>
#include <QLocale>

#include <limits>

using namespace Qt::StringLiterals;

GridModel::GridModel(DataSource *source, QObject *parent)
    : QAbstractTableModel(parent)
    , m_source(source)
{
    connect(source, &DataSource::refreshed, this, &GridModel::reload);
}

namespace {
constexpr int blockRows = 64;
// Past this many rows read, the ones read are let go and read again when shown.
constexpr int keptRows = 4096;
} // namespace

void GridModel::reload()
{
    beginResetModel();
    m_rowids.clear();
    m_allRowidsKnown = true;
    m_rowCount = 0;
    m_values.clear();
    m_loaded.clear();
    m_loadedCount = 0;
    m_fields.clear();
    m_table = m_source->tableName();
    const DataSource::Statement statement = m_source->statement();
    m_rowidSql = statement.hasRowid ? m_source->rowidStatement() : QString();
    m_rowidValues = m_source->recordValues();
    if (!m_rowidSql.isEmpty()) {
        bool ok = false;
        if (const auto counted = countRows()) {
            m_rowCount = *counted;
            ok = readRowids(static_cast<size_t>(std::min(m_rowCount, blockRows)));
            m_allRowidsKnown = m_rowids.size() >= static_cast<size_t>(m_rowCount);
        } else {
            ok = readRowids(std::numeric_limits<size_t>::max());
            m_rowCount = static_cast<int>(m_rowids.size());
        }
        if (!ok) {
            m_rowids.clear();
            m_rowCount = 0;
            m_allRowidsKnown = true;
        }
        m_values.resize(static_cast<size_t>(m_rowCount));
        m_loaded.resize(static_cast<size_t>(m_rowCount), false);
        // The first block also gives the field names, even of a table without rows.
        if (ok)
            loadBlock(0);
    } else {
        GridSource::readAll(*m_source, statement.sql, statement.hasRowid, m_rowidValues, m_fields,
                            [this](qint64 id, QVariantList values) {
                                m_rowids.push_back(id);
                                m_values.push_back(std::move(values));
                            });
        m_rowCount = static_cast<int>(m_values.size());
        m_loaded.resize(m_values.size(), true);
        m_loadedCount = m_rowCount;
    }
    endResetModel();
}

std::optional<int> GridModel::countRows() const
{
    return GridSource::countRows(*m_source, m_rowidSql, m_rowidValues);
}

bool GridModel::readRowids(size_t count) const
{
    return GridSource::readRowids(*m_source, m_rowidSql, m_rowidValues, count, m_rowids);
}

qint64 GridModel::rowid(int row) const
{
    if (static_cast<size_t>(row) >= m_rowids.size() && !m_allRowidsKnown) {
        readRowids(static_cast<size_t>(m_rowCount));
        // Rows deleted by another window since the count show empty until the grid is read again.
        m_rowids.resize(static_cast<size_t>(m_rowCount), -1);
        m_allRowidsKnown = true;
    }
    return static_cast<size_t>(row) < m_rowids.size() ? m_rowids[static_cast<size_t>(row)] : -1;
}

void GridModel::loadBlock(int first) const
{
    if (m_loadedCount > keptRows) {
        std::fill(m_values.begin(), m_values.end(), QVariantList());
        std::fill(m_loaded.begin(), m_loaded.end(), false);
        m_loadedCount = 0;
    }
    const int count = std::min(blockRows, m_rowCount - first);
    if (!readRows(first, count))
        return;
    for (int i = 0; i < count; ++i)
        m_loaded[static_cast<size_t>(first + i)] = true;
    m_loadedCount += count;
}

bool GridModel::readRows(int first, int count) const
{
    std::vector<qint64> ids;
    QHash<qint64, int> rows;
    for (int i = 0; i < count; ++i) {
        ids.push_back(rowid(first + i));
        rows.insert(ids.back(), first + i);
    }
    return GridSource::readRows(*m_source, m_table, ids, m_fields, [&](qint64 id, QVariantList values) {
        const auto row = rows.constFind(id);
        if (row != rows.cend())
            m_values[static_cast<size_t>(*row)] = std::move(values);
    });
}

const QVariantList &GridModel::rowValues(int row) const
{
    if (!m_loaded[static_cast<size_t>(row)])
        loadBlock(row - row % blockRows);
    return m_values[static_cast<size_t>(row)];
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_fields.size());
}

QString GridModel::shown(const QVariant &value) const
{
    return TextFormat::numberText(value);
}

QString GridModel::fieldName(int column) const
{
    return m_fields.value(column);
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return shown(rowValues(index.row()).value(index.column()));
    // The whole text, wherever the column is too narrow for it.
    if (role == Qt::ToolTipRole) {
        const QString text = shown(rowValues(index.row()).value(index.column()));
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    return {};
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal && section < m_fields.size())
        return GridSource::heading(m_table, m_fields.at(section));
    return {};
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (index.isValid() && !m_table.isEmpty() && GridEdit::editable(m_table, m_fields.value(index.column())))
        result |= Qt::ItemIsEditable;
    return result;
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const QString field = m_fields.value(index.column());
    const QString current = shown(rowValues(index.row()).value(index.column()));
    if (value.toString() == current)
        return false;
    // A change the checks refuse, or that stores what is there, leaves the cell as it was.
    const auto stored = GridEdit::checked(m_table, field, value.toString(), {m_fields, rowValues(index.row())});
    if (!stored || shown(*stored) == current)
        return false;
    if (GridEdit::movesOtherRows(m_table, field))
        return changeKey(index, *stored);

    qint64 movedTo = rowid(index.row());
    QVariant kept;
    const Store::Result result =
        m_source->setField(m_table, field, *stored, &movedTo, &kept, m_fields, rowValues(index.row()));
    if (result.number == Store::changedElsewhere) {
        Messages::report(
            u"Il record è stato cambiato o eliminato da un'altra postazione: la griglia è stata ricaricata."_s);
        reload();
        return false;
    }
    if (!result.ok()) {
        Messages::report(result.number == Store::duplicateKey ? GridEdit::duplicateMessage(m_table)
                                                              : Store::refusal(u"Modifica non registrata: "_s, result));
        return false;
    }
    // The cell shows what the store keeps; a server may have moved the row.
    m_rowids[static_cast<size_t>(index.row())] = movedTo;
    QVariantList &values = m_values[static_cast<size_t>(index.row())];
    if (values.size() < m_fields.size())
        values.resize(m_fields.size());
    values[index.column()] = kept;
    emit dataChanged(index, index);
    return true;
}

bool GridModel::changeKey(const QModelIndex &index, const QVariant &value)
{
    const int row = index.row();
    const GridEdit::KeyChange change =
        GridEdit::changeKey(m_table, m_fields.value(index.column()), value, {m_fields, rowValues(row)});
    if (change.changedElsewhere) {
        Messages::report(
            u"Il record è stato cambiato o eliminato da un'altra postazione: la griglia è stata ricaricata."_s);
        reload();
        return false;
    }
    if (!change.key)
        return false;
    const auto &key = change.key;
    // The row keeps its place in the grid, read again whole: the operation may have changed
    // other fields of it, and on a server moved it.
    const auto id = GridSource::rowIdentity(*m_source, m_table, GridEdit::keyFields(m_table), *key);
    if (!id)
        return false;
    m_rowids[static_cast<size_t>(row)] = *id;
    if (!readRows(row, 1))
        return false;
    emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
    return true;
}

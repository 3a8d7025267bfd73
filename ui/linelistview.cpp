#include "ui/linelistview.h"

#include "common/compactlines.h"

#include <QAbstractListModel>

class LineListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_lines.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_lines.size())
            return {};
        if (role == Qt::DisplayRole)
            return m_lines.at(index.row());
        if (role == Qt::UserRole && index.row() < m_keys.size())
            return m_keys.at(index.row());
        return {};
    }

    void reset(CompactLines lines, QStringList keys)
    {
        beginResetModel();
        m_lines = std::move(lines);
        m_keys = std::move(keys);
        endResetModel();
    }

private:
    CompactLines m_lines;
    QStringList m_keys;
};

LineListView::LineListView(QWidget *parent)
    : QListView(parent)
    , m_model(new LineListModel(this))
{
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every line is one line of one font: the view never measures them one by one.
    setUniformItemSizes(true);
}

void LineListView::setLines(CompactLines lines, QStringList keys)
{
    m_model->reset(std::move(lines), std::move(keys));
}

void LineListView::clear()
{
    m_model->reset({}, {});
}

int LineListView::count() const
{
    return m_model->rowCount();
}

QString LineListView::text(int row) const
{
    return m_model->index(row).data().toString();
}

int LineListView::currentRow() const
{
    return currentIndex().row();
}

void LineListView::setCurrentRow(int row)
{
    setCurrentIndex(m_model->index(row));
}

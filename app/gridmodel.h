#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <vector>

class DataSource;

// What the main grid shows: every field of the rows of its data source, under Italian
// headings. A changed cell is checked and stored as the window that owns the row does it
// (see GridEdit); rows are neither added nor deleted here.
class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    GridModel(DataSource *source, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // Reads the rows of the data source's record source again.
    void reload();
    // The name of the field a column shows.
    QString fieldName(int column) const;

private:
    QString shown(const QVariant &value) const;
    // The fields of a row, read when first shown; empty for a row that is gone.
    const QVariantList &rowValues(int row) const;
    void loadBlock(int first) const;
    // Reads `count` rows from `first` by their identities; false when the store refused it.
    bool readRows(int first, int count) const;
    bool changeKey(const QModelIndex &index, const QVariant &value);
    // The identity of a row; -1 for a row deleted since the grid was read.
    qint64 rowid(int row) const;
    // Reads the identities not yet known, in the record source's order, until `count` are
    // known; false when the store refused the statement.
    bool readRowids(size_t count) const;
    std::optional<int> countRows() const;

    DataSource *m_source;
    QString m_table;
    mutable QStringList m_fields; // known from the first block read
    // The rows of a single table are known by their identities and read a block at a time
    // when shown: a grid over ten thousand activities shows some thirty of them. Ordering
    // every identity costs more than the rest of the start, so the first block's are read at
    // once and the others when a row past it is shown. Any other statement is read whole.
    int m_rowCount = 0;
    QString m_rowidSql;
    QVariantList m_rowidValues;
    mutable std::vector<qint64> m_rowids;
    mutable bool m_allRowidsKnown = true;
    mutable std::vector<QVariantList> m_values;
    mutable std::vector<bool> m_loaded;
    mutable int m_loadedCount = 0;
};

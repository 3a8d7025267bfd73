#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariant>

#include <vector>

class DataSource;

// What the main grid shows: every field of the rows of its data source, field names
// as headings. A changed cell is stored in its row at once; rows are neither added
// nor deleted here.
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

private:
    struct Row {
        qint64 rowid = -1;
        QVariantList values;
    };
    QString shown(const QVariant &value) const;

    DataSource *m_source;
    QString m_table;
    QStringList m_fields;
    std::vector<Row> m_rows;
};

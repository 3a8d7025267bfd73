#pragma once

#include <QListView>
#include <QStringList>

class CompactLines;
class LineListModel;

// A read-only list box for lists that may run to hundreds of thousands of lines: it holds
// the lines' text compactly instead of an item per line. A line may carry a key, given as
// its Qt::UserRole data.
class LineListView : public QListView {
    Q_OBJECT
public:
    explicit LineListView(QWidget *parent = nullptr);

    // Replaces every line; `keys` are those of the first lines, in order.
    void setLines(CompactLines lines, QStringList keys = {});
    void clear();
    int count() const;
    QString text(int row) const;
    int currentRow() const;
    void setCurrentRow(int row);

private:
    LineListModel *m_model;
};

#pragma once

#include "database/connection.h"
#include "database/tables.h"

#include <QHash>
#include <QObject>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

struct sqlite3_stmt;

// A statement prepared once and run many times with new values, as an import runs its
// look-up and its insert for each of thousands of rows. The values are bound as Qt's driver
// binds them, but through SQLite directly: Qt names every placeholder anew for each value
// bound, which costs more than the insert itself. No read stays open between runs.
class PreparedStatement {
public:
    PreparedStatement(const QSqlDatabase &db, const QString &sql);
    // Runs with `values` bound in order to the `?` of the text; `gaveRow` tells whether a
    // select found a row. Failures are described as the store describes them.
    Store::Result run(const QVariantList &values, bool *gaveRow = nullptr);
    // Runs a select with `values` bound and appends each row's fields, in order, to `rows`.
    // Running it is one read and each row another, as for a data source's walk (see
    // refuseReadsAfter); a refused read ends it, keeping the rows read before.
    Store::Result select(const QVariantList &values, QList<QVariantList> *rows);
    // A field as text: none for NULL, a number as the file writes it in text.
    using Text = std::optional<QByteArrayView>;
    // Runs a select on a file like select(), handing each row's fields as texts to `row`,
    // valid only during the call: an import copies thousands of rows to a server.
    Store::Result selectTexts(const QVariantList &values, const std::function<void(const std::vector<Text> &)> &row);
    // Runs this statement with the fields of the row that `from` gives when run with
    // `values`, bound in order as they are stored: an import copies thousands of rows from
    // one file to another without making Qt values of their fields. What became of the read
    // (one read for running `from`, one for its row) goes to `read`; a read that failed, or
    // found no row, writes nothing.
    Store::Result runWithRowOf(PreparedStatement &from, const QVariantList &values, Store::Result *read);
    // Runs this statement on a file, an insert … select that copies `rows` rows from another
    // file attached to its connection: thousands of rows copied one statement each would cost
    // more than the copy. Running it is one read and each row another (see refuseReadsAfter).
    // A refused read writes nothing and comes back in `read`; so does a copy that found fewer
    // rows, those it found written.
    Store::Result runCopying(const QVariantList &values, qsizetype rows, Store::Result *read);
    // Runs this statement with one value per `?` given as text (none for NULL), as a server's
    // copy reads them, each stored as the kind of its field: a copy of a server's tables
    // writes hundreds of thousands of rows.
    Store::Result runWithTexts(const std::vector<Text> &values, const std::vector<Schema::Kind> &kinds);

private:
    // Binds `values` to the `?` in order; SQLite's status.
    int bind(const QVariantList &values);
    // Runs on the file with `values` bound, handing each row's statement to `row`.
    Store::Result stepRows(const QVariantList &values, const std::function<void(sqlite3_stmt *)> &row);
    Store::Result runOnServer(const QVariantList &values, QList<QVariantList> *rows, bool *gaveRow);
    bool m_server = false;
    QSqlDatabase m_db; // a server's, for the savepoint of each write
    Store::Result finish(int status);

    QSqlQuery m_query; // owns the statement
    Store::Result m_prepareFailure;
    QByteArray m_texts; // the texts bound for the current run
};

// A record source of SQL text, re-pointed at will, read and written on the connection named
// after one of the working files (`fileName`): the file itself, or the server that holds the
// register. Values are never written into the SQL: they go in `values`, bound in order to the
// `?` of the text. A walk reads one row at a time; a row written while walks are open
// does not make those walks skip or repeat a row.
class DataSource : public QObject {
    Q_OBJECT
public:
    DataSource(const QString &name, const QString &fileName, const QString &defaultRecordSource,
               QObject *parent = nullptr);
    ~DataSource() override;

    const QString &fileName() const { return m_fileName; }
    QSqlDatabase database() const;

    // A table name, or "select * from TABLE ..." text; takes effect at the next refresh.
    void setRecordSource(const QString &sql, const QVariantList &values = {});
    const QString &recordSource() const { return m_recordSource; }
    const QVariantList &recordValues() const { return m_values; }
    // The table the record source reads, when it reads one table; empty otherwise.
    QString tableName() const;

    // The record source as it is run: rows of one table carry their rowid first.
    struct Statement {
        QString sql;
        bool hasRowid = false;
    };
    Statement statement() const;
    // Only the row identities of the record source, in its order; empty when it does not
    // read a single table.
    QString rowidStatement() const;
    // The row identity in SQL on a database, how a statement picks one row by it, and the
    // value bound for it; on a server, the identity is the row's place (see store/server.h).
    static QString rowidOf(const QSqlDatabase &db);
    // A field's name as the register declares it, from the name a query gave back.
    static QString declaredName(const QSqlDatabase &db, const QString &returned);
    static QString rowidMatch(const QSqlDatabase &db);
    static QVariant rowidValue(const QSqlDatabase &db, qint64 rowid);
    // The rows of `count` identities of a table, each with its identity first.
    static QString rowsWithRowids(const QSqlDatabase &db, const QString &table, int count);

    // Runs the record source again and stands on the first row. False when the store
    // refused it (see lastError); the walk is then at its end.
    bool refresh();
    bool eof() const;
    void moveNext();

    int fieldCount() const { return static_cast<int>(m_fieldNames.size()); }
    QString fieldName(int position) const;
    // Field values of the current row (or of the row being written), by name in any
    // letter case or by position; no value reads as an invalid QVariant.
    QVariant value(const QString &field) const;
    QVariant value(int position) const;
    // The value as the windows show it: no value reads as empty text.
    QString text(const QString &field) const;

    // Whether the current row holds `values` in `fields` (no value as no value, numbers as numbers): a
    // write over what a window read goes ahead only then.
    bool holds(const QStringList &fields, const QVariantList &values) const;

    void addNew();
    bool edit();
    void setValue(const QString &field, const QVariant &value);
    void setValue(int position, const QVariant &value);
    Store::Result update();
    Store::Result remove();
    void cancelUpdate();

    // Sets one field of the row of identity `rowid` in `table` of this source's database, as
    // the grid edits a cell, provided the row still holds `read` in `fields` (else
    // Store::changedElsewhere); `rowid` becomes the row's identity afterwards (a server moves a
    // rewritten row) and `kept` the value as the store keeps it.
    Store::Result setField(const QString &table, const QString &field, const QVariant &value, qint64 *rowid,
                           QVariant *kept, const QStringList &fields, const QVariantList &read);

    // Runs a statement that returns no rows on this source's database.
    Store::Result execute(const QString &sql, const QVariantList &values = {});

    // The read failure since the last refresh: the refresh itself, or a row of the walk that
    // the store refused. A refused walk ends there, so a walker that reaches the end checks it.
    const Store::Result &lastError() const { return m_lastError; }
    bool failed() const { return !m_lastError.ok(); }

    // For tests: every data source's reads are refused once `steps` more reads have been made
    // (running the statement is one, reading each row another; 0 refuses the next refresh),
    // and stay refused until a negative count. The refusal takes the road of the store's own.
    static void refuseReadsAfter(int steps);

    // Every source that walks a database is told before any write to it.
    static void beforeWrite(const QString &fileName);
    // Lets go of every open statement, keeping the rows still to visit. The program does
    // it whenever it waits for the user, so that no read stays open on the files while
    // idle: other programs can then write them, and the journal can be folded back.
    static void releaseAll();

signals:
    void refreshed();

private:
    enum class Mode { Browsing, Adding, Editing };
    bool loadRow(qint64 rowid);
    bool stepDirectly();
    void readCurrent();
    void detach();
    int position(const QString &field) const;
    const QStringList &writeNames() const;
    Store::Result writeRow();
    // Whether the row of identity `rowid` still holds `read` in `fields`, taken for the write
    // that follows in the same transaction.
    static Store::Result stillAsRead(const QSqlDatabase &db, const QString &table, qint64 rowid,
                                     const QStringList &fields, const QVariantList &read);
    // Runs an update or delete of the current row on a server, following the row to its new place.
    Store::Result writeOnServer(const QString &sql, const QVariantList &values);
    Store::Result writeOnServerOnce(const QString &sql, const QVariantList &values);
    void setFailure(const Store::Result &failure);
    void stopWalk(const Store::Result &failure);

    QString m_name;
    QString m_fileName;
    QString m_recordSource;
    QVariantList m_values;
    QSqlQuery m_query;
    QString m_preparedSql;        // what m_query is prepared with, empty when nothing
    int m_preparedGeneration = 0; // of the server connection it was prepared on
    bool m_rereading = false;     // reading again after the connection broke
    qsizetype m_preparedValues = 0;
    bool m_walking = false;      // m_query still has rows to give
    bool m_firstRowRead = false; // the first row came through m_query; the others are stepped
    bool m_directEnd = false;    // the stepping reached the end of the rows
    bool m_eof = true;
    bool m_hasRowid = false;
    std::deque<qint64> m_remaining; // rows still to visit once the walk was detached
    QSqlQuery m_rowQuery;           // reads one row of a detached walk
    QString m_rowQueryTable;
    QStringList m_fieldNames;
    QHash<QString, int> m_positions; // upper-case name -> position
    QStringList m_addNames;          // the table's fields, for a row being added
    QVariantList m_row;
    qint64 m_rowid = -1;
    bool m_rowDeleted = false;
    Mode m_mode = Mode::Browsing;
    QVariantList m_buffer;
    QList<bool> m_changed;
    Store::Result m_lastError;
};

#pragma once
#include "source.h"

#include <QString>
#include <QVariant>

// How one source table becomes a target table: an integer primary key "id" (the
// source's own integer id when it has one), for harita, tipler and pafta every column
// of our schema with the kinds Zemira relies on, and every other source column as it is.
struct TargetColumn {
    QString name;
    ColumnKind kind;
    int source; // index of the source column, -1 when the source has none
};

struct TablePlan {
    QString sourceTable;
    QString table;
    QList<TargetColumn> columns; // columns[0] is the key
    bool keyFromSource = false;
};

// Where name is in names: its exact spelling, else the one name that is the same under
// search's Turkish folding ("İSİM" is isim); -1 when none is. Throws Error when several are.
int findName(const QStringList &names, const QString &name);

// Throws Error when the source lacks a column that Zemira needs in one of its tables.
TablePlan planTable(const QString &sourceTable, const QList<SourceColumn> &sourceColumns);

QString quotedName(QString name);

// create table and index statements for an SQLite file or a PostgreSQL server.
QStringList createStatements(const TablePlan &plan, bool postgres);

// The insert statement with one ? for each column written (the key only when the source gives it).
QString insertStatement(const TablePlan &plan);

// A source value made into the column's kind; throws Error naming the table, column
// and row when it does not fit (a real with a fraction into an integer, say).
QVariant convertValue(const QVariant &value, const TargetColumn &column, const TablePlan &plan, qint64 row);

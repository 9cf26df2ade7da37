#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

// What a column holds once imported. Dates travel as text "yyyy-MM-dd HH:mm:ss".
enum class ColumnKind { Integer, Real, Text, DateTime, Blob };

struct SourceColumn {
    QString name;
    ColumnKind kind;
};

// A database that tables are copied from. Values come as QVariant: an invalid one
// for null, else qlonglong, double, QString or QByteArray as the column's kind says.
class Source {
public:
    virtual ~Source() = default;
    virtual QStringList tables() = 0;
    virtual QList<SourceColumn> columns(const QString &table) = 0;
    virtual qint64 rowCount(const QString &table) = 0;
    virtual void readRows(const QString &table, const std::function<void(const QVariantList &)> &row) = 0;

};

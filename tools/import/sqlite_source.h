#pragma once
#include "source.h"

#include <QString>

// An existing Zemira SQLite file: its tables copied as they are, to another file or a server.
class SqliteSource : public Source {
public:
    explicit SqliteSource(const QString &path); // throws Error
    ~SqliteSource() override;
    SqliteSource(const SqliteSource &) = delete;
    SqliteSource &operator=(const SqliteSource &) = delete;

    QStringList tables() override;
    QList<SourceColumn> columns(const QString &table) override;
    qint64 rowCount(const QString &table) override;
    void readRows(const QString &table, const std::function<void(const QVariantList &)> &row) override;

private:
    QString m_name;
};

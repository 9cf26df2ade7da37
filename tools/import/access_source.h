#pragma once
#include "source.h"

#include <mdbtools.h>

// An .mdb or .accdb file read through mdbtools' libmdb.
class AccessSource : public Source {
public:
    explicit AccessSource(const QString &path); // throws Error
    ~AccessSource() override;
    AccessSource(const AccessSource &) = delete;
    AccessSource &operator=(const AccessSource &) = delete;

    QStringList tables() override;
    QList<SourceColumn> columns(const QString &table) override;
    qint64 rowCount(const QString &table) override;
    void readRows(const QString &table, const std::function<void(const QVariantList &)> &row) override;

private:
    MdbHandle *m_mdb = nullptr;
};

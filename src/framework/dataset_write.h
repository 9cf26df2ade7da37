#pragma once
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

#include "errors.h"

// An update or delete refused because the row is no longer as it was read.
class RowChangedByOthers : public Error {
public:
    using Error::Error;
};

// Where a dataset's rows are written back: the table named after FROM, by its primary key.
struct WriteTarget {
    QString table;
    std::vector<QString> columns; // per dataset field: the table's column, or empty for a computed field
    int keyField = -1;
};

// The first table after FROM ("" when there is none).
QString tableOfSelect(const QString &sql);

// Throws Error, prefixed with the dataset's name, when the rows cannot be written back.
WriteTarget resolveWriteTarget(QSqlDatabase db, const QString &datasetName, const QString &sql,
                               const QStringList &fields);

using Row = std::vector<QVariant>;

// Each runs in one transaction and returns the row as the database holds it afterwards.
// Update and delete touch the row only while every stored column still holds its original value;
// otherwise they throw RowChangedByOthers and nothing is written. Texts are compared and
// written as stored bytes (StoredText).
Row updateRow(QSqlDatabase db, const WriteTarget &target, const Row &original, const Row &values,
              const std::vector<bool> &changed);
Row insertRow(QSqlDatabase db, const WriteTarget &target, const Row &values, const std::vector<bool> &changed);
void deleteRow(QSqlDatabase db, const WriteTarget &target, const Row &original);

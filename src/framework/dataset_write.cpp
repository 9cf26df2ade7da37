#include "dataset_write.h"
#include "errors.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

namespace {

QString errorText(const QSqlError &error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    // SQLITE_BUSY and SQLITE_LOCKED: another program holds the file; the user may simply retry.
    const QString code = error.nativeErrorCode();
    if (code == QLatin1String("5") || code == QLatin1String("6"))
        return QStringLiteral("Veritabanı başka bir program tarafından kilitli; hiçbir şey kaydedilmedi. "
                              "Biraz sonra yeniden deneyin (%1)").arg(text);
    // A failed SQLite write is rolled back from its journal, at once or at the next open.
    // SQLite's codes are numbers below 10000 (the primary code in the low byte), PostgreSQL's five characters.
    switch (code.size() < 5 ? code.toInt() & 0xff : 0) {
    case 13: // SQLITE_FULL
        return QStringLiteral("Diskte yer kalmadı; hiçbir şey kaydedilmedi. Yer açıp yeniden deneyin (%1)").arg(text);
    case 8: case 10: case 14: // SQLITE_READONLY, SQLITE_IOERR, SQLITE_CANTOPEN
        return QStringLiteral("Veritabanı dosyasına yazılamadı (salt okunur ya da erişilemiyor); hiçbir şey "
                              "kaydedilmedi. Yazılabilir olunca yeniden deneyin (%1)").arg(text);
    }
    return text;
}

bool isPostgres(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL");
}

QString quoted(const QSqlDatabase &db, const QString &name, QSqlDriver::IdentifierType type)
{
    return db.driver()->escapeIdentifier(name, type);
}

// "col IS ?" for each stored column: NULL-safe, so a column that was null must still be null.
QString unchangedCondition(const QSqlDatabase &db, const WriteTarget &t)
{
    const QString same = isPostgres(db) ? QStringLiteral(" IS NOT DISTINCT FROM ?") : QStringLiteral(" IS ?");
    QStringList parts{quoted(db, t.columns[t.keyField], QSqlDriver::FieldName) + QStringLiteral(" = ?")};
    for (const QString &column : t.columns)
        if (!column.isEmpty())
            parts << quoted(db, column, QSqlDriver::FieldName) + same;
    return parts.join(QLatin1String(" AND "));
}

void bindUnchanged(QSqlQuery &q, const WriteTarget &t, const Row &original)
{
    q.addBindValue(original[t.keyField]);
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        if (!t.columns[i].isEmpty())
            q.addBindValue(original[i]);
}

void run(QSqlQuery &q)
{
    if (!q.exec())
        throw Error(errorText(q.lastError()));
}

QSqlQuery prepared(QSqlDatabase &db, const QString &statement)
{
    QSqlQuery q(db);
    if (!q.prepare(statement))
        throw Error(errorText(q.lastError()));
    return q;
}

QString changedByOthers(const QString &outcome)
{
    return QStringLiteral("Bu kayıt okunduktan sonra başka biri tarafından değiştirilmiş ya da silinmiş. "
                          "%1; verileri yenileyip yeniden deneyin")
        .arg(outcome);
}

// The row as stored, found by keyColumn = key; fields that are not table columns keep their values.
Row reread(QSqlDatabase &db, const WriteTarget &t, const QString &keyColumn, const QVariant &key, Row values)
{
    QSqlQuery q = prepared(db, QStringLiteral("SELECT * FROM %1 WHERE %2 = ?")
                                   .arg(quoted(db, t.table, QSqlDriver::TableName), keyColumn));
    q.addBindValue(key);
    run(q);
    if (!q.next())
        throw Error(QStringLiteral("Kaydedilen kayıt %1 tablosunda yeniden okunamadı").arg(t.table));
    const QSqlRecord record = q.record();
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        if (!t.columns[i].isEmpty())
            values[i] = q.value(record.indexOf(t.columns[i]));
    return values;
}

// Qt's SQLite driver reports a failed commit without SQLite's code: take it from the connection.
QSqlError commitError(const QSqlDatabase &db)
{
    const QSqlError error = db.lastError();
    const QVariant handle = db.driver()->handle();
    if (!error.nativeErrorCode().isEmpty() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return error;
    sqlite3 *raw = *static_cast<sqlite3 *const *>(handle.constData());
    return QSqlError(error.driverText(), error.databaseText(), error.type(),
                     raw ? QString::number(sqlite3_errcode(raw)) : QString());
}

template <class Work> auto inTransaction(QSqlDatabase &db, Work &&work)
{
    if (!db.transaction())
        throw Error(errorText(db.lastError()));
    try {
        auto result = work();
        if (!db.commit())
            throw Error(errorText(commitError(db)));
        return result;
    } catch (...) {
        db.rollback();
        throw;
    }
}

} // namespace

QString tableOfSelect(const QString &sql)
{
    static const QRegularExpression from(QStringLiteral("\\bfrom\\s+([A-Za-z_][\\w.]*)"),
                                         QRegularExpression::CaseInsensitiveOption);
    return from.match(sql).captured(1);
}

WriteTarget resolveWriteTarget(QSqlDatabase db, const QString &datasetName, const QString &sql,
                               const QStringList &fields)
{
    WriteTarget t;
    t.table = tableOfSelect(sql);
    if (t.table.isEmpty())
        throw Error(QStringLiteral("%1: kayıtların yazılacağı tablo sorgudan anlaşılamadı").arg(datasetName));
    const QSqlIndex key = db.primaryIndex(t.table);
    if (key.isEmpty()) {
        // primaryIndex() says nothing of its own failures (a locked file): ask the table itself.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(quoted(db, t.table, QSqlDriver::TableName))))
            throw Error(errorText(probe.lastError()));
    }
    if (key.count() != 1)
        throw Error(QStringLiteral("%1: %2 tablosunun tek sütunlu birincil anahtarı yok; kayıt yazılamaz")
                        .arg(datasetName, t.table));
    const QSqlRecord record = db.record(t.table);
    for (int i = 0; i < fields.size(); ++i) {
        QString column;
        for (int c = 0; c < record.count() && column.isEmpty(); ++c)
            if (record.fieldName(c).compare(fields[i], Qt::CaseInsensitive) == 0)
                column = record.fieldName(c);
        t.columns.push_back(column);
        if (t.keyField < 0 && column.compare(key.fieldName(0), Qt::CaseInsensitive) == 0)
            t.keyField = i;
    }
    if (t.keyField < 0)
        throw Error(QStringLiteral("%1: sorgu %2 tablosunun anahtar sütununu (%3) içermiyor; kayıt yazılamaz")
                        .arg(datasetName, t.table, key.fieldName(0)));
    return t;
}

Row updateRow(QSqlDatabase db, const WriteTarget &t, const Row &original, const Row &values,
              const std::vector<bool> &changed)
{
    if (original[t.keyField].isNull())
        throw Error(QStringLiteral("Kaydın anahtarı boş; kayıt yazılamaz"));
    return inTransaction(db, [&] {
        QStringList assignments;
        for (std::size_t i = 0; i < t.columns.size(); ++i)
            if (changed[i] && !t.columns[i].isEmpty())
                assignments << quoted(db, t.columns[i], QSqlDriver::FieldName) + QStringLiteral(" = ?");
        // With nothing to assign, "SET key = key" still makes the guarded statement say whether the row is intact.
        if (assignments.isEmpty())
            assignments << quoted(db, t.columns[t.keyField], QSqlDriver::FieldName) + QStringLiteral(" = ")
                               + quoted(db, t.columns[t.keyField], QSqlDriver::FieldName);
        QSqlQuery q = prepared(db, QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                       .arg(quoted(db, t.table, QSqlDriver::TableName),
                                            assignments.join(QLatin1String(", ")), unchangedCondition(db, t)));
        for (std::size_t i = 0; i < t.columns.size(); ++i)
            if (changed[i] && !t.columns[i].isEmpty())
                q.addBindValue(values[i]);
        bindUnchanged(q, t, original);
        run(q);
        if (q.numRowsAffected() != 1)
            throw Error(changedByOthers(QStringLiteral("Hiçbir şey kaydedilmedi")));
        const QVariant key = changed[t.keyField] ? values[t.keyField] : original[t.keyField];
        return reread(db, t, quoted(db, t.columns[t.keyField], QSqlDriver::FieldName), key, values);
    });
}

Row insertRow(QSqlDatabase db, const WriteTarget &t, const Row &values, const std::vector<bool> &changed)
{
    return inTransaction(db, [&] {
        QStringList columns, marks;
        for (std::size_t i = 0; i < t.columns.size(); ++i)
            if (changed[i] && !t.columns[i].isEmpty()) {
                columns << quoted(db, t.columns[i], QSqlDriver::FieldName);
                marks << QStringLiteral("?");
            }
        const QString table = quoted(db, t.table, QSqlDriver::TableName);
        const QString keyColumn = quoted(db, t.columns[t.keyField], QSqlDriver::FieldName);
        QString statement = columns.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(table, columns.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
        if (isPostgres(db))
            statement += QStringLiteral(" RETURNING ") + keyColumn;
        QSqlQuery q = prepared(db, statement);
        for (std::size_t i = 0; i < t.columns.size(); ++i)
            if (changed[i] && !t.columns[i].isEmpty())
                q.addBindValue(values[i]);
        run(q);
        if (isPostgres(db)) {
            if (!q.next())
                throw Error(errorText(q.lastError()));
            return reread(db, t, keyColumn, q.value(0), values);
        }
        // SQLite's rowid finds the new row whatever the key's type.
        return reread(db, t, QStringLiteral("rowid"), q.lastInsertId(), values);
    });
}

void deleteRow(QSqlDatabase db, const WriteTarget &t, const Row &original)
{
    if (original[t.keyField].isNull())
        throw Error(QStringLiteral("Kaydın anahtarı boş; kayıt silinemez"));
    inTransaction(db, [&] {
        QSqlQuery q = prepared(db, QStringLiteral("DELETE FROM %1 WHERE %2")
                                       .arg(quoted(db, t.table, QSqlDriver::TableName), unchangedCondition(db, t)));
        bindUnchanged(q, t, original);
        run(q);
        if (q.numRowsAffected() != 1)
            throw Error(changedByOthers(QStringLiteral("Hiçbir şey silinmedi")));
        return true;
    });
}

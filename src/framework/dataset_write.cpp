#include "dataset_write.h"
#include "dataset_snapshot.h"

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

bool isStoredText(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<StoredText>();
}

// Stored bytes go in as a blob made text again, so SQLite compares and keeps them unchanged.
QString mark(const QVariant &value)
{
    return isStoredText(value) ? QStringLiteral("CAST(? AS TEXT)") : QStringLiteral("?");
}

void bind(QSqlQuery &q, const QVariant &value)
{
    q.addBindValue(isStoredText(value) ? QVariant(value.value<StoredText>().bytes) : value);
}

// "col IS ?" for each stored column: NULL-safe, so a column that was null must still be null.
QString unchangedCondition(const QSqlDatabase &db, const WriteTarget &t, const Row &original)
{
    const QString same = isPostgres(db) ? QStringLiteral(" IS NOT DISTINCT FROM ") : QStringLiteral(" IS ");
    QStringList parts{quoted(db, t.columns[t.keyField], QSqlDriver::FieldName) + QStringLiteral(" = ")
                      + mark(original[t.keyField])};
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        if (!t.columns[i].isEmpty())
            parts << quoted(db, t.columns[i], QSqlDriver::FieldName) + same + mark(original[i]);
    return parts.join(QLatin1String(" AND "));
}

void bindUnchanged(QSqlQuery &q, const WriteTarget &t, const Row &original)
{
    bind(q, original[t.keyField]);
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        if (!t.columns[i].isEmpty())
            bind(q, original[i]);
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

RowChangedByOthers changedByOthers(const QString &advice)
{
    return RowChangedByOthers(
        QStringLiteral("Bu kayıt okunduktan sonra başka biri tarafından değiştirilmiş ya da silinmiş. %1")
            .arg(advice));
}

// The row as stored, found by its key; fields that are not table columns keep their values.
// SQLite hands texts over as UTF-16, so their bytes are read as blobs beside them.
Row reread(QSqlDatabase &db, const WriteTarget &t, const QVariant &key, Row values)
{
    const bool sqlite = !isPostgres(db);
    QStringList select{QStringLiteral("*")};
    if (sqlite)
        for (const QString &column : t.columns)
            if (!column.isEmpty()) {
                const QString c = quoted(db, column, QSqlDriver::FieldName);
                select << QStringLiteral("CASE WHEN typeof(%1) = 'text' THEN CAST(%1 AS BLOB) END").arg(c);
            }
    QSqlQuery q = prepared(db, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = %4")
                                   .arg(select.join(QLatin1String(", ")), quoted(db, t.table, QSqlDriver::TableName),
                                        quoted(db, t.columns[t.keyField], QSqlDriver::FieldName), mark(key)));
    bind(q, key);
    run(q);
    if (!q.next())
        throw Error(QStringLiteral("Kaydedilen kayıt %1 tablosunda yeniden okunamadı").arg(t.table));
    const QSqlRecord record = q.record();
    int bytesColumn = record.count() - int(select.size()) + 1;
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        if (t.columns[i].isEmpty())
            continue;
        values[i] = q.value(record.indexOf(t.columns[i]));
        if (sqlite) {
            const QByteArray bytes = q.value(bytesColumn++).toByteArray();
            if (!values[i].isNull() && values[i].metaType().id() == QMetaType::QString)
                values[i] = storedTextValue(bytes.constData(), bytes.size());
        }
    }
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
                assignments << quoted(db, t.columns[i], QSqlDriver::FieldName) + QStringLiteral(" = ")
                                   + mark(values[i]);
        // With nothing to assign, "SET key = key" still makes the guarded statement say whether the row is intact.
        if (assignments.isEmpty())
            assignments << quoted(db, t.columns[t.keyField], QSqlDriver::FieldName) + QStringLiteral(" = ")
                               + quoted(db, t.columns[t.keyField], QSqlDriver::FieldName);
        QSqlQuery q = prepared(db, QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                       .arg(quoted(db, t.table, QSqlDriver::TableName),
                                            assignments.join(QLatin1String(", ")),
                                            unchangedCondition(db, t, original)));
        for (std::size_t i = 0; i < t.columns.size(); ++i)
            if (changed[i] && !t.columns[i].isEmpty())
                bind(q, values[i]);
        bindUnchanged(q, t, original);
        run(q);
        if (q.numRowsAffected() != 1)
            throw changedByOthers(QStringLiteral("Hiçbir şey kaydedilmedi. Yenile düğmesiyle (tabloda F5 ile) "
                                                 "kaydın şimdiki hâlini okuyun, yazdıklarınız yerinde kalır; "
                                                 "sonra yeniden kaydedin"));
        const QVariant key = changed[t.keyField] ? values[t.keyField] : original[t.keyField];
        return reread(db, t, key, values);
    });
}

Row insertRow(QSqlDatabase db, const WriteTarget &t, const Row &values, const std::vector<bool> &changed)
{
    return inTransaction(db, [&] {
        QStringList columns, marks;
        for (std::size_t i = 0; i < t.columns.size(); ++i)
            if (changed[i] && !t.columns[i].isEmpty()) {
                columns << quoted(db, t.columns[i], QSqlDriver::FieldName);
                marks << mark(values[i]);
            }
        const QString table = quoted(db, t.table, QSqlDriver::TableName);
        const QString keyColumn = quoted(db, t.columns[t.keyField], QSqlDriver::FieldName);
        QString statement = columns.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(table, columns.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
        // The key as the database gave it: a table may have a column of its own named rowid.
        statement += QStringLiteral(" RETURNING ") + keyColumn;
        QSqlQuery q = prepared(db, statement);
        for (std::size_t i = 0; i < t.columns.size(); ++i)
            if (changed[i] && !t.columns[i].isEmpty())
                bind(q, values[i]);
        run(q);
        if (!q.next())
            throw Error(errorText(q.lastError()));
        const QVariant key = q.value(0);
        q.finish(); // SQLite commits no transaction while a statement is still being stepped
        return reread(db, t, key, values);
    });
}

void deleteRow(QSqlDatabase db, const WriteTarget &t, const Row &original)
{
    if (original[t.keyField].isNull())
        throw Error(QStringLiteral("Kaydın anahtarı boş; kayıt silinemez"));
    inTransaction(db, [&] {
        QSqlQuery q = prepared(db, QStringLiteral("DELETE FROM %1 WHERE %2")
                                       .arg(quoted(db, t.table, QSqlDriver::TableName),
                                            unchangedCondition(db, t, original)));
        bindUnchanged(q, t, original);
        run(q);
        if (q.numRowsAffected() != 1)
            throw changedByOthers(QStringLiteral("Hiçbir şey silinmedi; verileri yenileyip yeniden deneyin"));
        return true;
    });
}

#include "region_files.h"
#include "data/schema.h"
#include "framework/errors.h"

#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>

namespace {

struct ConnectionName {
    QString name;
    ~ConnectionName() { QSqlDatabase::removeDatabase(name); }
};

} // namespace

int overviewPixel(qint64 value, qint64 overviewWidth, qint64 regionWidth)
{
    return int((2 * value * overviewWidth + regionWidth) / (2 * regionWidth));
}

QStringList startupLines(const QString &dataDir, const QString &databaseFile, const QString &firstSheet,
                         qint64 overviewSpan, int scaleDivisor)
{
    return {dataDir, databaseFile, firstSheet, QStringLiteral("0"), QStringLiteral("0"), QString::number(overviewSpan),
            QStringLiteral("0"), QString::number(scaleDivisor)};
}

void writeStartupFile(const QString &path, const QStringList &lines)
{
    QSaveFile file(path);
    const QByteArray text = (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw Error(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

void runQuery(QSqlQuery &q)
{
    if (!q.exec())
        throw Error(q.lastError().text());
}

void runQuery(QSqlQuery &q, const QString &statement)
{
    if (!q.exec(statement))
        throw Error(q.lastError().text());
}

void writeNewDatabase(const QString &fileName, const std::function<void(QSqlDatabase &)> &fill)
{
    static std::atomic<int> connections;
    const ConnectionName connection{QStringLiteral("zemira-region-%1").arg(++connections)};
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection.name);
    db.setDatabaseName(fileName);
    if (!db.open())
        throw Error(QStringLiteral("Cannot create %1: %2").arg(fileName, db.lastError().text()));
    {
        QSqlQuery q(db);
        // A new file that is deleted if writing fails: durability would only cost time.
        runQuery(q, QStringLiteral("pragma journal_mode = memory"));
        runQuery(q, QStringLiteral("pragma synchronous = off"));
    }
    createSchema(db);
    if (!db.transaction())
        throw Error(db.lastError().text());
    try {
        fill(db);
        if (!db.commit())
            throw Error(db.lastError().text());
    } catch (...) {
        db.rollback();
        db.close();
        throw;
    }
    db.close();
}

void insertTypes(QSqlDatabase &db, const QStringList &types)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("insert into tipler (ad) values (?)"));
    for (const QString &t : types) {
        q.bindValue(0, t);
        runQuery(q);
    }
}

void insertSheets(QSqlDatabase &db, const std::vector<SheetRow> &sheets, const QString &overviewFile)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("insert into pafta (num, ad, px, py, px0, py0, kucuk) values (?, ?, ?, ?, ?, ?, ?)"));
    for (const SheetRow &s : sheets) {
        q.bindValue(0, s.num);
        q.bindValue(1, s.file);
        q.bindValue(2, s.px);
        q.bindValue(3, s.py);
        q.bindValue(4, s.px0);
        q.bindValue(5, s.py0);
        q.bindValue(6, overviewFile);
        runQuery(q);
    }
}

#include "searchindex.h"
#include "turkishfold.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QStringList>

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>

namespace searchindex {
namespace {

// The names as this build folds them: a file indexed with another fold is indexed again.
QString foldDigest()
{
    static const QString digest = [] {
        QString from;
        QString to;
        turkishfold::foldTable(from, to);
        return QString::fromLatin1(QCryptographicHash::hash((from + '\n' + to).toUtf8(), QCryptographicHash::Md5).toHex());
    }();
    return digest;
}

// The triggers use only SQL every program knows, so one without our functions can still write harita.
QStringList buildStatements()
{
    return {
        QStringLiteral("drop trigger if exists harita_ara_ekle"),
        QStringLiteral("drop trigger if exists harita_ara_degistir"),
        QStringLiteral("drop trigger if exists harita_ara_sil"),
        QStringLiteral("drop table if exists harita_ara"),
        QStringLiteral("drop table if exists harita_ara_bekleyen"),
        QStringLiteral("drop table if exists harita_ara_katlama"),
        QStringLiteral("create virtual table harita_ara using fts5(ad, tokenize = 'trigram case_sensitive 1')"),
        QStringLiteral("create table harita_ara_bekleyen (id integer primary key)"),
        QStringLiteral("create table harita_ara_katlama (ozet text)"),
        QStringLiteral("insert into harita_ara_katlama values ('%1')").arg(foldDigest()),
        QStringLiteral("create trigger harita_ara_ekle after insert on harita begin"
                       " insert or ignore into harita_ara_bekleyen values (new.rowid); end"),
        QStringLiteral("create trigger harita_ara_degistir after update on harita begin"
                       " insert or ignore into harita_ara_bekleyen values (old.rowid);"
                       " insert or ignore into harita_ara_bekleyen values (new.rowid); end"),
        QStringLiteral("create trigger harita_ara_sil after delete on harita begin"
                       " insert or ignore into harita_ara_bekleyen values (old.rowid); end"),
    };
}

const QStringList kCatchUp = {
    QStringLiteral("delete from harita_ara where rowid in (select id from harita_ara_bekleyen)"),
    QStringLiteral("insert into harita_ara (rowid, ad) select rowid, zemira_fold(isim) from harita"
                   " where rowid in (select id from harita_ara_bekleyen)"),
    QStringLiteral("delete from harita_ara_bekleyen"),
};

bool hasIndex(QSqlQuery &q)
{
    return q.exec(QStringLiteral("select (select count(*) from sqlite_master where name in ('harita_ara',"
                                 " 'harita_ara_bekleyen', 'harita_ara_katlama', 'harita_ara_ekle',"
                                 " 'harita_ara_degistir', 'harita_ara_sil')) = 6"
                                 " and (select ozet from harita_ara_katlama) = '%1'").arg(foldDigest()))
        && q.next() && q.value(0).toBool();
}

// All of them or none; fill, where given, runs last inside the same transaction.
bool runAll(QSqlDatabase &db, const QStringList &statements, const std::function<bool(QSqlQuery &)> &fill = {})
{
    if (!db.transaction())
        return false;
    QSqlQuery q(db);
    for (const QString &s : statements)
        if (!q.exec(s)) {
            db.rollback();
            return false;
        }
    if (fill && !fill(q)) {
        db.rollback();
        return false;
    }
    return db.commit() || (db.rollback(), false);
}

// Folds harita's names into the index in slices of rowids, reporting after each.
bool fillIndex(QSqlQuery &q, const std::function<void(int)> &progress)
{
    if (!q.exec(QStringLiteral("select coalesce(min(rowid), 0), coalesce(max(rowid), 0) from harita")) || !q.next())
        return false;
    const qint64 first = q.value(0).toLongLong();
    const qint64 last = q.value(1).toLongLong();
    constexpr qint64 kSlice = 100000;
    if (!q.prepare(QStringLiteral("insert into harita_ara (rowid, ad) select rowid, zemira_fold(isim) from harita"
                                  " where rowid between ? and ?")))
        return false;
    for (qint64 from = first; from <= last; from += kSlice) {
        q.addBindValue(from);
        q.addBindValue(std::min(last, from + kSlice - 1));
        if (!q.exec())
            return false;
        if (progress)
            progress(int((std::min(last, from + kSlice - 1) - first + 1) * 100 / (last - first + 1)));
    }
    return true;
}

// LIKE over harita's names becomes, once the SQL functions are inlined, the folded
// name ~~ a folded pattern, which a pg_trgm index on that expression answers for
// fragments of three letters or more; the statement texts stay as they are. Without
// the rights to build it, or on a read-only server, the scan answers as before.
// The statement is sent without waiting for it, so that a second session can read
// the server's progress of the build meanwhile.
void prepareServer(QSqlDatabase &db, const std::function<void(int)> &progress)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select to_regclass('harita') is not null and to_regclass('harita_isim_trgm') is null,"
                               " pg_catalog.pg_backend_pid()"))
        || !q.next() || !q.value(0).toBool())
        return;
    const QString pid = q.value(1).toString();
    if (!q.exec(QStringLiteral("create extension if not exists pg_trgm schema zemira")))
        return;
    q.finish();
    PGconn *conn = *static_cast<PGconn *const *>(db.driver()->handle().constData());
    if (!PQsendQuery(conn, "create index if not exists harita_isim_trgm on harita"
                           " using gin (zemira.fold(isim) gin_trgm_ops)"))
        return;
    const QString watcherName = db.connectionName() + QStringLiteral("-index-progress");
    {
        QSqlDatabase watcher = QSqlDatabase::cloneDatabase(db, watcherName);
        const bool watching = progress && watcher.open();
        QSqlQuery w(watcher);
        pollfd socket{PQsocket(conn), POLLIN, 0};
        while (PQconsumeInput(conn) && PQisBusy(conn)) {
            if (watching
                && w.exec(QStringLiteral("select blocks_done, blocks_total from pg_catalog.pg_stat_progress_create_index"
                                         " where pid = %1").arg(pid))
                && w.next() && w.value(1).toLongLong() > 0)
                progress(int(w.value(0).toLongLong() * 99 / w.value(1).toLongLong()));
            ::poll(&socket, 1, 250);
        }
    }
    QSqlDatabase::removeDatabase(watcherName);
    bool built = true;
    while (PGresult *result = PQgetResult(conn)) {
        built = built && PQresultStatus(result) == PGRES_COMMAND_OK;
        PQclear(result);
    }
    if (built && progress)
        progress(100);
}

} // namespace

void prepare(QSqlDatabase &db, const std::function<void(int)> &progress)
{
    if (db.driverName() == QLatin1String("QPSQL")) {
        prepareServer(db, progress);
        return;
    }
    QSqlQuery q(db);
    if (!hasIndex(q))
        runAll(db, buildStatements(), [&](QSqlQuery &fill) { return fillIndex(fill, progress); });
}

QString narrowing(QSqlDatabase db, const QString &pattern)
{
    QSqlQuery q(db);
    if (!hasIndex(q))
        return {};
    q.prepare(QStringLiteral("select zemira_fold(?)"));
    q.addBindValue(pattern);
    if (!q.exec() || !q.next())
        return {};
    QStringList phrases;
    for (const QString &run : q.value(0).toString().split(QRegularExpression(QStringLiteral("[%_]"))))
        if (run.toUcs4().size() >= 3)
            phrases << '"' + QString(run).replace('"', QLatin1String("\"\"")) + '"';
    if (phrases.isEmpty())
        return {};
    // Places written since the last search join the index now where the file allows;
    // otherwise they stay candidates.
    if (q.exec(QStringLiteral("select exists (select 1 from harita_ara_bekleyen)")) && q.next()
        && q.value(0).toBool())
        runAll(db, kCatchUp);
    return QStringLiteral("rowid IN (SELECT rowid FROM harita_ara WHERE harita_ara MATCH '%1'"
                          " UNION ALL SELECT id FROM harita_ara_bekleyen)")
        .arg(phrases.join(' ').replace('\'', QLatin1String("''")));
}

} // namespace searchindex

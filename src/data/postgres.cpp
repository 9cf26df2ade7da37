#include "postgres.h"
#include "connection.h"
#include "turkishfold.h"
#include "framework/errors.h"

#include <QMap>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <libpq-fe.h>

#include <algorithm>
#include <memory>

namespace {

// Per character of a target as written, whether or not it parses: Kept, Dropped (the
// password of the user part: from the first ':' after "//" to the last '@'), Starred
// (a password= of the query, to the end). A password may hold any character
// unencoded, so this errs on hiding too much.
enum class Shown : char { Kept, Dropped, Starred };

QList<Shown> passwordMask(const QString &target)
{
    QList<Shown> mask(target.size(), Shown::Kept);
    const qsizetype start = target.indexOf(QLatin1String("://"));
    if (start < 0)
        return mask;
    static const QRegularExpression inQuery(QStringLiteral("[?&]password="), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch query = inQuery.match(target, start + 3);
    if (query.hasMatch())
        std::fill(mask.begin() + query.capturedEnd(), mask.end(), Shown::Starred);
    const qsizetype at = target.lastIndexOf('@');
    const qsizetype colon = target.indexOf(':', start + 3);
    if (colon >= 0 && colon < at)
        std::fill(mask.begin() + colon, mask.begin() + at, Shown::Dropped);
    return mask;
}

// The user part's password as written, percent-decoded; empty when it may stand in the query.
QString writtenPassword(const QString &target, const QList<Shown> &mask)
{
    QString written;
    for (qsizetype i = 0; i < target.size(); ++i)
        if (mask[i] == Shown::Dropped)
            written += target[i];
    if (written.contains('?'))
        return {};
    return QUrl::fromPercentEncoding(written.mid(1).toUtf8());
}

QString foldFunctionBody()
{
    QString from;
    QString to;
    turkishfold::foldTable(from, to);
    return QStringLiteral("select pg_catalog.translate($1, '%1', '%2')")
        .arg(from.replace('\'', "''"), to.replace('\'', "''"));
}

void run(QSqlQuery &q, const QString &sql)
{
    if (!q.exec(sql))
        throw Error(q.lastError().text());
}

bool likeIsCurrent(QSqlQuery &q, const QString &body)
{
    q.prepare(QStringLiteral(
        "select coalesce((select p.prosrc = ? from pg_catalog.pg_proc p join pg_catalog.pg_namespace n"
        " on n.oid = p.pronamespace where n.nspname = 'zemira' and p.proname = 'fold'), false)"
        " and (select count(*) from pg_catalog.pg_operator o join pg_catalog.pg_namespace n"
        " on n.oid = o.oprnamespace where n.nspname = 'zemira' and o.oprname in ('~~', '!~~')) = 2"));
    q.addBindValue(body);
    if (!q.exec() || !q.next())
        throw Error(q.lastError().text());
    return q.value(0).toBool();
}

void installLike(QSqlDatabase &db, QSqlQuery &q, const QString &body)
{
    if (!db.transaction())
        throw Error(db.lastError().text());
    try {
        // Two programs connecting to a fresh database at once must not both create.
        run(q, QStringLiteral("select pg_catalog.pg_advisory_xact_lock(7346132)"));
        run(q, QStringLiteral("create schema if not exists zemira"));
        run(q, QStringLiteral("create or replace function zemira.fold(text) returns text"
                              " language sql immutable strict parallel safe as $zf$%1$zf$").arg(body));
        run(q, QStringLiteral("create or replace function zemira.like(text, text) returns boolean"
                              " language sql immutable strict parallel safe as $zf$select zemira.fold($1)"
                              " operator(pg_catalog.~~) pg_catalog.like_escape(zemira.fold($2), '')$zf$"));
        run(q, QStringLiteral("create or replace function zemira.notlike(text, text) returns boolean"
                              " language sql immutable strict parallel safe as $zf$select not zemira.like($1, $2)$zf$"));
        // The search index holds folded names: a new fold must rebuild it with it, or neither.
        run(q, QStringLiteral("select to_regclass('harita_isim_trgm') is not null"));
        if (q.next() && q.value(0).toBool())
            run(q, QStringLiteral("reindex index harita_isim_trgm"));
        const QStringList operators[] = {{"~~", "zemira.like"}, {"!~~", "zemira.notlike"}};
        for (const QStringList &op : operators) {
            q.prepare(QStringLiteral("select 1 from pg_catalog.pg_operator o join pg_catalog.pg_namespace n"
                                     " on n.oid = o.oprnamespace where n.nspname = 'zemira' and o.oprname = ?"));
            q.addBindValue(op[0]);
            if (!q.exec())
                throw Error(q.lastError().text());
            if (!q.next())
                run(q, QStringLiteral("create operator zemira.%1 (leftarg = text, rightarg = text,"
                                      " function = %2)").arg(op[0], op[1]));
        }
        if (!db.commit())
            throw Error(db.lastError().text());
    } catch (...) {
        db.rollback();
        throw;
    }
}

} // namespace

void configurePostgres(QSqlDatabase &db, const QString &uri)
{
    // libpq reads the URI itself, exactly as psql would: percent-decoding, services,
    // every connection keyword of the query.
    // libpq would read only up to a NUL, and so differ from us on where the password is.
    if (uri.contains(QChar(0)))
        throw Error(QStringLiteral("Geçersiz PostgreSQL adresi: %1 (NUL karakteri içeriyor)").arg(withoutPassword(uri)));
    char *reason = nullptr;
    const std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)> parsed(
        Connection::isPostgresUri(uri) ? PQconninfoParse(uri.toUtf8().constData(), &reason) : nullptr,
        &PQconninfoFree);
    const auto invalid = [&](const QString &why) {
        return Error(QStringLiteral("Geçersiz PostgreSQL adresi: %1%2. Beklenen biçim: "
                                    "postgresql://kullanıcı@sunucu:port/veritabanı")
                         .arg(withoutPassword(uri), why.isEmpty() ? QString() : " (" + why + ')'));
    };
    if (!parsed) {
        const QString why = reason ? QString::fromUtf8(reason).trimmed() : QString();
        PQfreemem(reason);
        throw invalid(withoutPassword(why, uri));
    }
    QMap<QString, QString> given;
    for (const PQconninfoOption *o = parsed.get(); o->keyword; ++o)
        if (o->val)
            given.insert(QString::fromUtf8(o->keyword), QString::fromUtf8(o->val));
    if (given.value("dbname").isEmpty() && !given.contains("service"))
        throw invalid(QStringLiteral("veritabanı adı yok"));
    // An unencoded '/' or '@' in a password makes libpq read it as a host or port, which
    // its messages would then show.
    const QString written = writtenPassword(uri, passwordMask(uri));
    if (!written.isEmpty() && written != given.value("password"))
        throw invalid(QStringLiteral("parola okunamadı: içindeki @, / ve % karakterleri %40, %2F ve %25 "
                                     "olarak yazılmalı"));
    // Only what the URI names is set, so a service file or libpq's defaults supply the rest.
    db.setHostName(given.take("host"));
    db.setUserName(given.take("user"));
    db.setPassword(given.take("password"));
    db.setDatabaseName(given.take("dbname"));
    db.setPort(-1);
    // libpq waits for an unreachable server as long as TCP does; a start-up should not.
    if (!given.contains("connect_timeout"))
        given.insert("connect_timeout", "5");
    // Every statement doubles quotes inside its literals, which is safe only with
    // standard strings: the session asks for them whatever the server or database
    // says, before the driver reads the setting. Our option comes last, so it wins.
    const QString own = given.contains("options") ? given.value("options") : qEnvironmentVariable("PGOPTIONS");
    given.insert("options", (own + QStringLiteral(" -c standard_conforming_strings=on")).trimmed());
    QStringList options;
    for (auto it = given.cbegin(); it != given.cend(); ++it) {
        // The driver turns every ';' of its options into a blank, quoted or not.
        if (it.value().contains(';'))
            throw invalid(QStringLiteral("%1 değeri ';' içeremez").arg(it.key()));
        options << it.key() + QStringLiteral("='") + QString(it.value()).replace('\\', "\\\\").replace('\'', "\\'")
                + '\'';
    }
    db.setConnectOptions(options.join(' '));
}

// LIKE becomes the operator ~~, which PostgreSQL looks up along the search path:
// our schema's ~~(text, text), placed before pg_catalog, folds both sides exactly as
// the SQLite connection's like() does, so every statement text stays the same on
// both. It is checked at each connect (zemira-import installs it too) and replaced
// when the fold table of this build differs from the one stored.
void preparePostgresSession(QSqlDatabase &db)
{
    QSqlQuery q(db);
    // Notices ("table does not exist, skipping") are not for the user.
    run(q, QStringLiteral("set client_min_messages to warning"));
    run(q, QStringLiteral("show server_encoding"));
    if (!q.next() || q.value(0).toString() != QLatin1String("UTF8"))
        throw Error(QStringLiteral("PostgreSQL veritabanının kodlaması UTF8 olmalı (şimdiki: %1).")
                        .arg(q.value(0).toString()));
    const QString body = foldFunctionBody();
    if (!likeIsCurrent(q, body))
        installLike(db, q, body);
    run(q, QStringLiteral("set search_path to \"$user\", public, zemira, pg_catalog"));
    // A search for a common fragment must keep the index's bitmap of places exact: a
    // lossy one folds every name on its pages again (10M places: 37 s instead of 4.5 s).
    run(q, QStringLiteral("select pg_catalog.set_config('work_mem', '64MB', false) where"
                          " pg_catalog.pg_size_bytes(pg_catalog.current_setting('work_mem')) < 64 * 1024 * 1024"));
}

QString withoutPassword(const QString &target)
{
    const QList<Shown> mask = passwordMask(target);
    QString shown;
    for (qsizetype i = 0; i < target.size(); ++i)
        if (mask[i] == Shown::Kept)
            shown += target[i];
        else if (mask[i] == Shown::Starred && (i == 0 || mask[i - 1] != Shown::Starred))
            shown += QLatin1String("***");
    return shown;
}

QString withoutPassword(const QString &text, const QString &target)
{
    // libpq quotes the pieces of the URI it complains about: one that is or may be
    // part of a password is hidden.
    const QList<Shown> mask = passwordMask(target);
    const auto hidden = [&](const QString &piece) {
        if (piece.isEmpty())
            return false;
        for (qsizetype from = target.indexOf(piece); from >= 0; from = target.indexOf(piece, from + 1))
            if (std::any_of(mask.begin() + from, mask.begin() + from + piece.size(),
                            [](Shown s) { return s != Shown::Kept; }))
                return true;
        return false;
    };
    // A password holding quotes would split the pieces wrongly: whatever of it stands in the
    // text, long enough not to be an ordinary word, goes first.
    QString masked = text;
    for (qsizetype i = 0; i < target.size();) {
        qsizetype end = i;
        while (end < target.size() && mask[end] != Shown::Kept)
            ++end;
        // libpq may quote the password without the ':' before it.
        QString secret = target.mid(i, end - i);
        if (secret.startsWith(u':'))
            secret.remove(0, 1);
        if (secret.size() >= 4)
            masked.replace(secret, QStringLiteral("***"));
        i = end + 1;
    }
    static const QRegularExpression quotedPiece(QStringLiteral("\"([^\"]*)\""));
    QString shown;
    qsizetype done = 0;
    for (const QRegularExpressionMatch &m : quotedPiece.globalMatch(masked)) {
        const QString piece = m.captured(1);
        shown += masked.mid(done, m.capturedStart(1) - done)
            + (piece == target ? withoutPassword(target) : hidden(piece) ? QStringLiteral("***") : piece);
        done = m.capturedEnd(1);
    }
    return shown + masked.mid(done);
}

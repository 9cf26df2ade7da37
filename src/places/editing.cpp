#include "places/editing.h"
#include "data/connection.h"
#include "framework/dataset.h"
#include "framework/dataset_snapshot.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <pwd.h>
#include <unistd.h>

namespace {

const QString kHistory = QStringLiteral("harita_gecmis");

bool isStoredText(const QVariant &v)
{
    return v.metaType() == QMetaType::fromType<StoredText>();
}

// Legacy bytes go in as a blob made text again, so SQLite keeps and compares them unchanged.
QString mark(const QVariant &v)
{
    return isStoredText(v) ? QStringLiteral("CAST(? AS TEXT)") : QStringLiteral("?");
}

void bind(QSqlQuery &q, const QVariant &v)
{
    q.addBindValue(isStoredText(v) ? QVariant(v.value<StoredText>().bytes) : v);
}

QSqlQuery prepared(QSqlDatabase db, const QString &statement)
{
    QSqlQuery q(db);
    if (!q.prepare(statement))
        throw Error(q.lastError().text());
    return q;
}

void run(QSqlQuery &q)
{
    if (!q.exec())
        throw Error(q.lastError().databaseText().isEmpty() ? q.lastError().text() : q.lastError().databaseText());
}

QString changedMeanwhileText(const PlaceRow &fresh)
{
    return fresh.exists()
        ? QStringLiteral("Bu yer, siz okuduktan sonra başka bir kullanıcı tarafından değiştirilmiş; hiçbir şey "
                         "kaydedilmedi. Yerin şimdiki hâli gösteriliyor.")
        : QStringLiteral("Bu yer, siz okuduktan sonra başka bir kullanıcı tarafından silinmiş; hiçbir şey "
                         "kaydedilmedi.");
}

// The rows of a statement read as the datasets read them, values exactly as stored.
template <class Each> void readRows(Connection &c, const QString &sql, Each &&each)
{
    Dataset rows(QStringLiteral("qDuzelt"), c);
    rows.setSql(sql);
    rows.open();
    for (int r = 0; r < rows.recordCount(); ++r)
        each(rows, r);
}

PlaceRow placeOf(const Dataset &rows, int r, const QString &idField, const QString &prefix)
{
    PlaceRow p;
    p.id = rows.valueAt(r, rows.fieldIndex(idField));
    for (const QString &column : PlaceRow::columns())
        p.values.push_back(rows.valueAt(r, rows.fieldIndex(prefix + column)));
    return p;
}

} // namespace

const QStringList &PlaceRow::columns()
{
    static const QStringList names{QStringLiteral("isim"), QStringLiteral("tip"),  QStringLiteral("px"),
                                   QStringLiteral("py"),   QStringLiteral("pafta"), QStringLiteral("kod"),
                                   QStringLiteral("cx"),   QStringLiteral("cy")};
    return names;
}

QVariant PlaceRow::value(const QString &column) const
{
    const qsizetype i = columns().indexOf(column);
    return i >= 0 && std::size_t(i) < values.size() ? values[std::size_t(i)] : QVariant();
}

QString PlaceRow::text(const QString &column) const
{
    const QVariant v = value(column);
    return v.isNull() ? QString() : v.toString();
}

void PlaceRow::set(const QString &column, const QVariant &value)
{
    values.resize(std::size_t(columns().size()));
    values[std::size_t(columns().indexOf(column))] = value;
}

bool PlaceRow::operator==(const PlaceRow &other) const
{
    auto same = [](const QVariant &a, const QVariant &b) {
        if (a.isNull() || b.isNull())
            return a.isNull() == b.isNull();
        if (isStoredText(a) || isStoredText(b))
            return isStoredText(a) && isStoredText(b) && a.value<StoredText>().bytes == b.value<StoredText>().bytes;
        return a.toString() == b.toString();
    };
    if (!same(id, other.id) || values.size() != other.values.size())
        return false;
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!same(values[i], other.values[i]))
            return false;
    return true;
}

PlaceEdits::PlaceEdits(Connection &connection) : m_connection(connection) {}

QString PlaceEdits::userName()
{
    for (const char *variable : {"USER", "LOGNAME"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
    if (const passwd *entry = getpwuid(geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(geteuid());
}

QString PlaceEdits::describe(const PlaceRow &before, const PlaceRow &after)
{
    if (!after.exists())
        return QStringLiteral("Silme");
    if (!before.exists())
        return QStringLiteral("Geri getirme");
    QStringList parts;
    if (before.text(QStringLiteral("isim")) != after.text(QStringLiteral("isim")))
        parts << QStringLiteral("Ad değiştirme");
    if (before.text(QStringLiteral("tip")) != after.text(QStringLiteral("tip")))
        parts << QStringLiteral("Tip değiştirme");
    for (const char *c : {"px", "py", "pafta"})
        if (before.text(QLatin1String(c)) != after.text(QLatin1String(c))) {
            parts << QStringLiteral("Taşıma");
            break;
        }
    return parts.isEmpty() ? QStringLiteral("Değişiklik yok") : parts.join(QStringLiteral(", "));
}

PlaceRow PlaceEdits::read(const QVariant &id)
{
    PlaceRow place;
    // The key is a number of our own; it alone is written into the statement.
    readRows(m_connection, QStringLiteral("select * from harita where id = %1").arg(id.toLongLong()),
             [&](Dataset &rows, int r) { place = placeOf(rows, r, QStringLiteral("id"), QString()); });
    return place;
}

void PlaceEdits::ensureHistoryTable()
{
    QSqlDatabase db = m_connection.database();
    if (!db.record(kHistory).isEmpty())
        return;
    // SQLite keeps untyped values exactly as given; PostgreSQL takes harita's types.
    const bool pg = m_connection.isPostgres();
    QStringList columns{pg ? QStringLiteral("id serial primary key") : QStringLiteral("id integer primary key"),
                        QStringLiteral("zaman text"), QStringLiteral("kullanici text"), QStringLiteral("islem text"),
                        QStringLiteral("once_yer integer"), QStringLiteral("sonra_yer integer"),
                        QStringLiteral("geri_alinan integer")};
    for (const QString &side : {QStringLiteral("once_"), QStringLiteral("sonra_")})
        for (const QString &c : PlaceRow::columns()) {
            const bool number = c == QLatin1String("px") || c == QLatin1String("py") || c == QLatin1String("cx")
                || c == QLatin1String("cy");
            columns << side + c + (pg ? (number ? QStringLiteral(" integer") : QStringLiteral(" text")) : QString());
        }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("create table if not exists %1 (%2)").arg(kHistory, columns.join(", "))))
        throw Error(QStringLiteral("Değişiklik geçmişi tablosu (%1) oluşturulamadı; hiçbir şey kaydedilmedi: %2")
                        .arg(kHistory, q.lastError().text()));
}

void PlaceEdits::change(const PlaceRow &before, const PlaceRow &after)
{
    write(before, after, 0, describe(before, after));
}

void PlaceEdits::remove(const PlaceRow &before)
{
    write(before, PlaceRow(), 0, describe(before, PlaceRow()));
}

void PlaceEdits::write(const PlaceRow &before, const PlaceRow &after, qlonglong undoes, const QString &what)
{
    try {
        ensureHistoryTable();
        QSqlDatabase db = m_connection.database();
        const QStringList &columns = PlaceRow::columns();
        const QString same = m_connection.isPostgres() ? QStringLiteral(" IS NOT DISTINCT FROM ") : QStringLiteral(" IS ");
        if (!db.transaction())
            throw Error(db.lastError().text());
        bool written = false;
        try {
            QSqlQuery q(db);
            if (before.exists()) {
                QStringList guard{QStringLiteral("id = ?")};
                for (int i = 0; i < columns.size(); ++i)
                    guard << columns[i] + same + mark(before.values[std::size_t(i)]);
                QStringList assignments;
                if (after.exists())
                    for (int i = 0; i < columns.size(); ++i)
                        assignments << columns[i] + QStringLiteral(" = ") + mark(after.values[std::size_t(i)]);
                q = prepared(db, after.exists()
                                     ? QStringLiteral("UPDATE harita SET %1 WHERE %2")
                                           .arg(assignments.join(", "), guard.join(" AND "))
                                     : QStringLiteral("DELETE FROM harita WHERE %1").arg(guard.join(" AND ")));
                if (after.exists())
                    for (const QVariant &v : after.values)
                        bind(q, v);
                q.addBindValue(before.id);
                for (const QVariant &v : before.values)
                    bind(q, v);
                run(q);
                written = q.numRowsAffected() == 1;
            } else {
                // Back under its own key; a row that holds the key meanwhile refuses it.
                QStringList marks{QStringLiteral("?")};
                for (const QVariant &v : after.values)
                    marks << mark(v);
                q = prepared(db, QStringLiteral("INSERT INTO harita (id, %1) VALUES (%2)")
                                     .arg(columns.join(", "), marks.join(", ")));
                q.addBindValue(after.id);
                for (const QVariant &v : after.values)
                    bind(q, v);
                written = q.exec();
                if (!written) {
                    const QString failure = q.lastError().text();
                    db.rollback();
                    if (!read(after.id).exists())
                        throw Error(failure);
                    throw PlaceChangedMeanwhile(changedMeanwhileText(read(after.id)), read(after.id));
                }
            }
            if (written) {
                QStringList names{QStringLiteral("zaman"), QStringLiteral("kullanici"), QStringLiteral("islem"),
                                  QStringLiteral("once_yer"), QStringLiteral("sonra_yer"),
                                  QStringLiteral("geri_alinan")};
                QStringList marks(names.size(), QStringLiteral("?"));
                const PlaceRow *sides[] = {&before, &after};
                for (const PlaceRow *side : sides)
                    for (int i = 0; i < columns.size(); ++i) {
                        names << (side == &before ? QStringLiteral("once_") : QStringLiteral("sonra_")) + columns[i];
                        marks << mark(side->exists() ? side->values[std::size_t(i)] : QVariant());
                    }
                QSqlQuery h = prepared(db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                               .arg(kHistory, names.join(", "), marks.join(", ")));
                h.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
                h.addBindValue(userName());
                h.addBindValue(what);
                h.addBindValue(before.exists() ? QVariant(before.id.toLongLong()) : QVariant());
                h.addBindValue(after.exists() ? QVariant(after.id.toLongLong()) : QVariant());
                h.addBindValue(undoes ? QVariant(undoes) : QVariant());
                for (const PlaceRow *side : sides)
                    for (std::size_t i = 0; i < std::size_t(columns.size()); ++i)
                        bind(h, side->exists() ? side->values[i] : QVariant());
                run(h);
                if (!db.commit())
                    throw Error(db.lastError().text());
                return;
            }
        } catch (...) {
            db.rollback();
            throw;
        }
        db.rollback();
    } catch (const Error &) {
        m_connection.checkAfterFailure();
        throw;
    }
    const PlaceRow fresh = read(before.exists() ? before.id : after.id);
    throw PlaceChangedMeanwhile(changedMeanwhileText(fresh), fresh);
}

HistoryEntry PlaceEdits::entry(qlonglong id)
{
    std::vector<HistoryEntry> found;
    readRows(m_connection, QStringLiteral("select * from %1 where id = %2").arg(kHistory).arg(id),
             [&](Dataset &rows, int r) {
                 HistoryEntry e;
                 e.id = rows.valueAt(r, rows.fieldIndex("id")).toLongLong();
                 e.before = placeOf(rows, r, QStringLiteral("once_yer"), QStringLiteral("once_"));
                 e.after = placeOf(rows, r, QStringLiteral("sonra_yer"), QStringLiteral("sonra_"));
                 e.what = rows.textAt(r, rows.fieldIndex("islem"));
                 found.push_back(e);
             });
    return found.empty() ? HistoryEntry() : found.front();
}

HistoryEntry PlaceEdits::undoLast()
{
    QSqlDatabase db = m_connection.database();
    if (db.record(kHistory).isEmpty())
        return {};
    QSqlQuery q = prepared(db, QStringLiteral("SELECT g.id FROM %1 g WHERE g.kullanici = ? AND g.geri_alinan IS NULL "
                                              "AND NOT EXISTS (SELECT 1 FROM %1 u WHERE u.geri_alinan = g.id) "
                                              "ORDER BY g.id DESC LIMIT 1")
                                   .arg(kHistory));
    q.addBindValue(userName());
    run(q);
    if (!q.next())
        return {};
    const HistoryEntry last = entry(q.value(0).toLongLong());
    q.finish();
    write(last.after, last.before, last.id, QStringLiteral("Geri alma (%1)").arg(last.what));
    return last;
}

std::vector<HistoryEntry> PlaceEdits::history(int limit)
{
    std::vector<HistoryEntry> entries;
    if (m_connection.database().record(kHistory).isEmpty())
        return entries;
    readRows(m_connection,
             QStringLiteral("select g.*, (select count(*) from %1 u where u.geri_alinan = g.id) as geri_alindi "
                            "from %1 g order by g.id desc limit %2")
                 .arg(kHistory)
                 .arg(limit),
             [&](Dataset &rows, int r) {
                 HistoryEntry e;
                 e.id = rows.valueAt(r, rows.fieldIndex("id")).toLongLong();
                 e.when = rows.textAt(r, rows.fieldIndex("zaman"));
                 e.user = rows.textAt(r, rows.fieldIndex("kullanici"));
                 e.what = rows.textAt(r, rows.fieldIndex("islem"));
                 e.undoes = rows.valueAt(r, rows.fieldIndex("geri_alinan")).toLongLong();
                 e.undone = rows.valueAt(r, rows.fieldIndex("geri_alindi")).toLongLong() > 0;
                 e.before = placeOf(rows, r, QStringLiteral("once_yer"), QStringLiteral("once_"));
                 e.after = placeOf(rows, r, QStringLiteral("sonra_yer"), QStringLiteral("sonra_"));
                 entries.push_back(e);
             });
    return entries;
}

#include "overview_places.h"
#include "overview_layers.h"
#include "data/connection.h"
#include "data/postgres.h"
#include "framework/errors.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

// Ids per statement. A reader holds SQLite's lock for its whole statement, and a save
// waits for it only about a second: short statements leave room for the user's saves
// and let a stop take effect soon.
constexpr qint64 IdsPerStatement = 100000;

QSqlDatabase openReader(const QString &name, const QString &target)
{
    const bool postgres = Connection::isPostgresUri(target);
    QSqlDatabase db = QSqlDatabase::addDatabase(postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), name);
    if (postgres) {
        configurePostgres(db, target);
    } else {
        db.setDatabaseName(target);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=1000"));
    }
    if (!db.open())
        throw Error(withoutPassword(db.lastError().text(), target));
    return db;
}

void readCells(QSqlDatabase &db, int unit, const std::atomic_bool &cancel, QSet<QPoint> &cells)
{
    QSqlQuery range(db);
    if (!range.exec(QStringLiteral("select min(id), max(id) from harita")) || !range.next())
        throw Error(range.lastError().text());
    if (range.value(0).isNull())
        return;
    const qint64 first = range.value(0).toLongLong();
    const qint64 last = range.value(1).toLongLong();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(overview_layers::cellStatement()))
        throw Error(q.lastError().text());
    for (qint64 from = first; from <= last && !cancel; from += IdsPerStatement) {
        for (int i = 0; i < 4; ++i)
            q.addBindValue(unit);
        q.addBindValue(from);
        q.addBindValue(from + IdsPerStatement);
        if (!q.exec())
            throw Error(q.lastError().text());
        while (q.next())
            if (!q.value(0).isNull() && !q.value(1).isNull())
                cells.insert(QPoint(q.value(0).toInt(), q.value(1).toInt()));
    }
}

} // namespace

PlaceDots::PlaceDots(QObject *parent) : QObject(parent) {}

PlaceDots::~PlaceDots()
{
    stop();
}

void PlaceDots::stop()
{
    if (m_cancel)
        *m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
    m_cancel.reset();
}

void PlaceDots::load(const QString &target, int unit)
{
    if (target.isEmpty() || (target == m_target && unit == m_unit))
        return;
    stop();
    m_target = target;
    m_unit = unit;
    m_loaded = false;
    m_cells.clear();
    const int generation = ++m_generation;
    m_cancel = std::make_shared<std::atomic_bool>(false);
    m_worker = std::thread([this, target, unit, generation, cancel = m_cancel] {
        QSet<QPoint> cells;
        QString error;
        const QString name = QStringLiteral("OverviewPlaces%1").arg(generation);
        try {
            QSqlDatabase db = openReader(name, target);
            readCells(db, unit, *cancel, cells);
        } catch (const Error &e) {
            error = e.text();
        }
        QSqlDatabase::removeDatabase(name);
        if (*cancel)
            return;
        // Delivered on the GUI thread; the destructor waits for this thread, so this
        // object is still there when the call is queued.
        QMetaObject::invokeMethod(
            this, [this, generation, cells, error] { finished(generation, cells, error); }, Qt::QueuedConnection);
    });
}

void PlaceDots::finished(int generation, const QSet<QPoint> &cells, const QString &error)
{
    if (generation != m_generation)
        return;
    if (!error.isEmpty()) {
        emit failed(error);
        return;
    }
    m_cells = cells;
    for (const QPoint &p : std::as_const(m_added))
        m_cells.insert(overview_layers::cellOf(p, m_unit));
    m_loaded = true;
    emit changed();
}

void PlaceDots::add(QPoint stored)
{
    m_added.append(stored);
    if (!m_loaded)
        return;
    m_cells.insert(overview_layers::cellOf(stored, m_unit));
    emit changed();
}

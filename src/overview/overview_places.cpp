#include "overview_places.h"
#include "overview_layers.h"
#include "data/connection.h"
#include "data/postgres.h"
#include "framework/errors.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <utility>

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
    range.finish(); // else SQLite keeps its read lock for the whole read, and saves time out
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
    if (!m_cellReader.isEmpty())
        QSqlDatabase::removeDatabase(m_cellReader);
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
    // The new read starts after every change made so far.
    m_added.clear();
    m_rechecked.clear();
    if (!m_cellReader.isEmpty()) {
        QSqlDatabase::removeDatabase(m_cellReader);
        m_cellReader.clear();
    }
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
    const QList<QPoint> rechecked = std::exchange(m_rechecked, {});
    try {
        for (const QPoint &p : rechecked) {
            const QPoint cell = overview_layers::cellOf(p, m_unit);
            if (cellHoldsPlaces(cell))
                m_cells.insert(cell);
            else
                m_cells.remove(cell);
        }
    } catch (const Error &e) {
        emit failed(e.text());
    }
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

void PlaceDots::recheck(QPoint stored)
{
    if (!m_loaded) {
        m_rechecked.append(stored);
        return;
    }
    const QPoint cell = overview_layers::cellOf(stored, m_unit);
    bool holds = false;
    try {
        holds = cellHoldsPlaces(cell);
    } catch (const Error &e) {
        emit failed(e.text());
        return;
    }
    if (holds == m_cells.contains(cell))
        return;
    if (holds)
        m_cells.insert(cell);
    else
        m_cells.remove(cell);
    emit changed();
}

bool PlaceDots::cellHoldsPlaces(QPoint cell)
{
    if (m_cellReader.isEmpty()) {
        const QString name = QStringLiteral("OverviewCells%1").arg(quintptr(this));
        try {
            openReader(name, m_target);
        } catch (const Error &) {
            QSqlDatabase::removeDatabase(name);
            throw;
        }
        m_cellReader = name;
    }
    QSqlQuery q(QSqlDatabase::database(m_cellReader, false));
    if (!q.prepare(overview_layers::cellHoldsStatement()))
        throw Error(q.lastError().text());
    const qint64 left = qint64(cell.x()) * m_unit, top = qint64(cell.y()) * m_unit;
    for (const qint64 v : {left, left + m_unit, top, top + m_unit})
        q.addBindValue(v);
    if (!q.exec())
        throw Error(q.lastError().text());
    return q.next();
}

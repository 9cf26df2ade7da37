#pragma once
#include <QObject>
#include <QPoint>
#include <QSet>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>

// The places of the region as dot cells (overview_layers::cellOf), read on a connection of
// its own off the GUI thread, so that a table of millions of rows neither holds up the
// window nor stays in memory: only the cells do.
class PlaceDots : public QObject {
    Q_OBJECT
public:
    explicit PlaceDots(QObject *parent = nullptr);
    ~PlaceDots() override; // stops a read under way and waits for it

    // Starts reading the cells of the given side from the database at target (a file path
    // or a PostgreSQL URI), unless they are read or being read already.
    void load(const QString &target, int unit);
    int unit() const { return m_unit; }
    bool loaded() const { return m_loaded; }
    const QSet<QPoint> &cells() const { return m_cells; }

    // A place saved at a stored region position: its cell gets a dot, also while a read
    // is still under way.
    void add(QPoint stored);
    // A place left a stored region position (moved, deleted) or came back to it: the
    // position's cell is read again, as the read under way may have passed it.
    void recheck(QPoint stored);

signals:
    void changed();
    void failed(const QString &message);

private:
    void stop();
    void finished(int generation, const QSet<QPoint> &cells, const QString &error);
    bool cellHoldsPlaces(QPoint cell);

    QString m_target;
    int m_unit = 0;
    bool m_loaded = false;
    int m_generation = 0;
    QSet<QPoint> m_cells;
    QList<QPoint> m_added; // stored positions, for a read that may have passed them
    QList<QPoint> m_rechecked; // the same, for cells to read again once the read is done
    QString m_cellReader; // this object's connection on the GUI thread, once opened
    std::shared_ptr<std::atomic_bool> m_cancel;
    std::thread m_worker;
};

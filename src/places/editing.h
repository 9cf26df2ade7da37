#pragma once
#include "framework/errors.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

class Connection;

// One place as table harita holds it: its key and the columns the program knows, each value
// exactly as stored (a text in a legacy code page stays its bytes).
struct PlaceRow {
    QVariant id; // null: no such place (not yet read, or deleted)
    std::vector<QVariant> values; // in placeColumns() order

    static const QStringList &columns(); // isim, tip, px, py, pafta, kod, cx, cy
    bool exists() const { return !id.isNull(); }
    QVariant value(const QString &column) const;
    QString text(const QString &column) const; // as shown; null is ""
    void set(const QString &column, const QVariant &value);
    bool operator==(const PlaceRow &other) const;
};

// A change refused because the place is no longer as it was read; fresh is what it is now.
class PlaceChangedMeanwhile : public Error {
public:
    PlaceChangedMeanwhile(const QString &text, PlaceRow fresh) : Error(text), fresh(std::move(fresh)) {}
    PlaceRow fresh;
};

// One row of the change history (table harita_gecmis).
struct HistoryEntry {
    qlonglong id = 0;
    QString when; // UTC, ISO 8601
    QString user;
    QString what;
    qlonglong undoes = 0; // the entry this one undid, 0 for a change of the user's own
    bool undone = false;
    PlaceRow before, after;
};

// Renaming, retyping, moving and deleting places with our own statements, each in one
// transaction with its history row, guarded as the datasets guard a save: the place is
// written only while every column still holds what the user saw.
class PlaceEdits {
public:
    explicit PlaceEdits(Connection &connection);

    // The place as stored now; a PlaceRow without id when it is gone.
    PlaceRow read(const QVariant &id);
    // Writes after over before (the place as the user saw it). Throws PlaceChangedMeanwhile.
    void change(const PlaceRow &before, const PlaceRow &after);
    void remove(const PlaceRow &before);
    // Undoes this user's newest change that is not undone yet; returns the entry it undid
    // (id 0 when there was none). Throws PlaceChangedMeanwhile when the place has changed since.
    HistoryEntry undoLast();
    // Newest first; empty when there is no history table.
    std::vector<HistoryEntry> history(int limit = 500);

    // The operating-system user: $USER, $LOGNAME, else the password database's name.
    static QString userName();
    static QString describe(const PlaceRow &before, const PlaceRow &after);

private:
    void write(const PlaceRow &before, const PlaceRow &after, qlonglong undoes, const QString &what);
    HistoryEntry entry(qlonglong id);
    void ensureHistoryTable();
    Connection &m_connection;
};

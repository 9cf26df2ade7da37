#pragma once
#include <QString>

#include <functional>

class QSqlDatabase;

// A trigram index of harita's folded names, so a name fragment is found without
// reading every place: FTS5 in an SQLite file, pg_trgm on a server. Triggers list the places any
// program inserts, changes or deletes; until Zemira folds them into the index they
// are always handed to the LIKEs, so what the index answers stays exact.
namespace searchindex {

// Builds the index where the data set has none and can be written, calling progress with
// the percentage done; otherwise leaves it: without an index the search scans, as before.
void prepare(QSqlDatabase &db, const std::function<void(int percent)> &progress = {});

// On SQLite, for the name pattern of a search's "isim LIKE", a condition that narrows the places
// the statement's LIKEs then check to candidates; empty where the index cannot answer
// (no index, or no run of three letters between the wildcards).
QString narrowing(QSqlDatabase db, const QString &pattern);

} // namespace searchindex

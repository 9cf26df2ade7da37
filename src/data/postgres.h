#pragma once
#include <QString>

class QSqlDatabase;

// Sets a QPSQL handle from a URI as libpq reads it (postgresql://user@host:port/dbname?
// keyword=value, a service=, ...): only what the URI names, the rest coming from libpq's
// environment, service and password files. Every session runs with standard strings.
// Throws Error on a malformed URI.
void configurePostgres(QSqlDatabase &db, const QString &uri);

// Readies an open PostgreSQL session for our SQL texts: the Turkish LIKE of the
// SQLite connection, installed when missing or out of date, and the search path
// that makes LIKE find it. Throws Error.
void preparePostgresSession(QSqlDatabase &db);

// A database target (file path or URI, parseable or not) fit to show: a URI's password
// is left out, a password= of its query shown as ***.
QString withoutPassword(const QString &target);
// A message of libpq about target, its quoted pieces that hold the password hidden.
QString withoutPassword(const QString &text, const QString &target);

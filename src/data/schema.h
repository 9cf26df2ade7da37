#pragma once
class QSqlDatabase;

// Creates tables harita, tipler and pafta, each with an integer primary key "id".
// Only the tools call this; Zemira itself never creates or alters these tables (it only keeps
// its search index beside them).
void createSchema(QSqlDatabase &db);

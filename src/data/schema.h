#pragma once
class QSqlDatabase;

// Creates tables harita, tipler and pafta, each with an integer primary key "id".
// Only the tools call this; Zemira itself never creates or alters these tables (it only keeps
// its search index beside them).
void createSchema(QSqlDatabase &db);

// Creates harita's indexes where they are missing and the data set can be written, so that
// a data set made by older tools opens as fast; otherwise leaves it as it is.
void preparePlaceIndexes(QSqlDatabase &db);

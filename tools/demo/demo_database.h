#pragma once
#include <QString>

struct DemoWorld;

// Creates the SQLite file with the project's schema and fills tipler, pafta (kucuk naming the
// overview) and harita in one transaction. Throws Error.
void writeDatabase(const QString &fileName, const DemoWorld &world, const QString &overviewFile);

#pragma once
#include <QString>

// Where the shared fixture files live.
QString fixturePath(const QString &relative);

#pragma once
// What the saving process writes for place number i, so a check can tell a whole row
// from a half-written one. The long name spreads each row over several database pages.
#include <QString>
#include <QVariantList>

inline QVariantList savedPlace(int i)
{
    return {i, 2 * i + 1, QStringLiteral("P%1").arg(i), QStringLiteral("Tür %1").arg(i),
            QStringLiteral("Yer %1 ").arg(i) + QString(1500, QChar(0x015F))};
}

// The columns of savedPlace(), in its order.
inline const char *savedColumns()
{
    return "px, py, pafta, tip, isim";
}


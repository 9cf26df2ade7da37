#pragma once
#include <QString>
#include <optional>

// A sheet of Turkey's national series: a 1:100,000 sheet ("I29"), one of its 1:50,000
// quarters ("I29-b") or one of their 1:25,000 quarters ("I29-b1").
struct NationalSheet {
    QString name;   // canonical: "I29", "I29-b", "I29-b1"
    int level = 0;  // 0: 1:100,000, 1: 1:50,000, 2: 1:25,000
    int column = 0; // west to east, in sheets of this level
    int row = 0;    // north to south, in sheets of this level
};

// The sheet named at the end of a file's base name: the whole name, or one that follows a
// prefix and a blank, '_', '-' or '.' ("Ankara_I29-b1", "ankara i29b1"). Letters in any
// case; "İ" and "ı" stand for I. Nothing when the name does not end in a sheet name.
std::optional<NationalSheet> nationalSheet(const QString &baseName);

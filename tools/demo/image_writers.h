#pragma once
#include <QImage>
#include <QString>

// Sheet image formats that Qt reads but cannot write. Both throw Error.

// An 8-bit palette GIF through giflib, the palette chosen by giflib's quantiser.
void writeGif(const QImage &image, const QString &fileName);

// An 8-bit palette PCX, run-length encoded, with the same palette.
void writePcx(const QImage &image, const QString &fileName);

#pragma once
#include <QImage>
#include <QString>

// Loads a picture file, the decoder chosen by the file name's extension (case-insensitive):
// bmp, ico, pcx (ours), gif (Qt's reader), jpg, jpeg (libjpeg), wmf (libwmf), emf (libemf2svg),
// tif, tiff, png, jp2 (GDAL).
// Any other extension raises "Unknown picture file extension (.%s)". Images whose header
// claims absurd dimensions, or more pixels than the file could hold, are refused before
// anything is allocated. Throws Error.
// The result is at the file's own pixel size, in Format_RGB32 or, for pictures with
// transparency (icons, GIFs with a transparent colour, metafiles), Format_ARGB32_Premultiplied.
// A damaged file of which only part could be decoded yields that part, the rest white, and a
// Turkish text for the user in *warning; without a warning pointer it raises Error instead.
QImage loadPicture(const QString &fileName, QString *warning = nullptr);

// Largest picture accepted, in pixels per side and in total.
constexpr int MaxPictureSide = 40000;
constexpr qint64 MaxPicturePixels = 400LL * 1000 * 1000;

// Largest picture read in windows (JPEG and GDAL's formats; see map/sheetsource.h): it is never
// held whole. 65500 a side is libjpeg's own limit.
constexpr int MaxWindowedSide = 65500;
constexpr qint64 MaxWindowedPixels = 2000LL * 1000 * 1000;

#pragma once
#include <QImage>
#include <QString>

// Loads a picture file, the decoder chosen by the file name's extension (case-insensitive):
// bmp, ico, gif (Qt's readers), jpg, jpeg (libjpeg), wmf (libwmf), emf (libemf2svg), pcx (ours).
// Any other extension raises "Unknown picture file extension (.%s)". Images whose header
// claims absurd dimensions are refused before anything is allocated. Throws Error.
// The result is at the file's own pixel size, in Format_RGB32 or Format_ARGB32_Premultiplied.
QImage loadPicture(const QString &fileName);

// Largest picture accepted, in pixels per side and in total.
constexpr int MaxPictureSide = 40000;
constexpr qint64 MaxPicturePixels = 400LL * 1000 * 1000;

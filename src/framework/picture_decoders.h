#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>

// What every decoder gets: the file's name, for messages, and its whole content.
struct PictureFile {
    QString name;
    QByteArray data;
};

// Raise Error: "Resim dosyası okunamadı: <name> (<reason>)".
[[noreturn]] void failPicture(const QString &fileName, const QString &reason);
[[noreturn]] void failCorruptPicture(const PictureFile &file);

// Refuses zero, negative and absurd dimensions; call before allocating anything of that size.
// windowed: the picture is read in windows and may be larger (MaxWindowedSide).
void checkPictureSize(const QString &fileName, qint64 width, qint64 height, bool windowed = false);
void checkPictureSize(const PictureFile &file, qint64 width, qint64 height);

// As checkPictureSize, and refuses a claim the file is too small to hold: a picture needs at
// least width × height / pixelsPerByte bytes at its format's best compression.
void checkPictureClaim(const QString &fileName, qint64 fileBytes, qint64 width, qint64 height,
                       double pixelsPerByte, bool windowed = false);
void checkPictureClaim(const PictureFile &file, qint64 width, qint64 height, double pixelsPerByte);

// A checked-size image; raises Error when memory runs out.
QImage allocatePicture(const PictureFile &file, int width, int height, QImage::Format format);

// Part of the file could not be decoded: sets *warning, or raises Error without one.
void reportDamage(const PictureFile &file, QString *warning);

// Paints count rows from first white, where a damaged file gave no data.
void whitenRows(QImage &image, int first, int count);

QImage decodeBmp(const PictureFile &file, QString *warning);
QImage decodeIcon(const PictureFile &file, QString *warning);
QImage decodeGif(const PictureFile &file, QString *warning);
QImage decodeJpeg(const PictureFile &file, QString *warning);
QImage decodePcx(const PictureFile &file, QString *warning);
QImage decodeWmf(const PictureFile &file);
QImage decodeEmf(const PictureFile &file);
// kind: "tif", "tiff", "png" or "jp2"; only that format's GDAL driver may read the file.
QImage decodeGdal(const PictureFile &file, const QString &kind, QString *warning);

// The bitmap whose info header starts at dib: an icon's image is twice its height, the picture
// above a transparency mask; pixels is where a file's pixel data starts, 0 for right after the
// colours.
QImage decodeDib(const PictureFile &file, qsizetype dib, qsizetype pixels, bool icon, QString *warning);

// A PNG image within the file, read by Qt once its claimed size has been checked.
QImage decodePngPart(const PictureFile &file, qsizetype offset);

// Reading a JPEG or a GDAL format (kind as for decodeGdal) in windows, straight from the file,
// never holding it whole. level 0 to 3 reduces the picture by 2^level; a level's size is the
// full size divided by 2^level, rounded up. The size checks are those of windowed pictures.
// A window cut short by damage is white where it got no data, with *warning set (or Error
// without one); a file that gives nothing raises Error. Each call opens the file anew.
QSize jpegFileSize(const QString &fileName);
QImage readJpegWindow(const QString &fileName, int level, const QRect &window, QString *warning);
QSize gdalFileSize(const QString &fileName, const QString &kind);
QImage readGdalWindow(const QString &fileName, const QString &kind, int level, const QRect &window,
                      QString *warning);

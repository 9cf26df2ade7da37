#pragma once
// Picture files made on the fly, and checks on loading them, for the picture loader's tests.

#include "framework/errors.h"
#include "framework/picture.h"
#include "testsupport.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtEndian>

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

inline QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &data)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(data);
    return path;
}

// The Error text of loading path, or "<no error>".
inline QString loadError(const QString &path, QString *warning = nullptr)
{
    return errorOf([&] { loadPicture(path, warning); });
}

inline bool near(QRgb actual, QRgb expected, int tolerance)
{
    return qAbs(qRed(actual) - qRed(expected)) <= tolerance && qAbs(qGreen(actual) - qGreen(expected)) <= tolerance
        && qAbs(qBlue(actual) - qBlue(expected)) <= tolerance && qAlpha(actual) == qAlpha(expected);
}

inline QString describe(QRgb c)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c)).arg(qAlpha(c));
}

inline void le16(QByteArray &data, int at, int value)
{
    qToLittleEndian<quint16>(quint16(value), data.data() + at);
}

inline void le32(QByteArray &data, int at, qint64 value)
{
    qToLittleEndian<quint32>(quint32(value), data.data() + at);
}

// A 24-bit bitmap header claiming width x height, followed by a little pixel data.
inline QByteArray bmpHeader(qint64 width, qint64 height)
{
    QByteArray data(54 + 64, '\x40');
    data[0] = 'B';
    data[1] = 'M';
    le32(data, 2, data.size());
    le32(data, 6, 0);
    le32(data, 10, 54);
    le32(data, 14, 40);
    le32(data, 18, width);
    le32(data, 22, height);
    le16(data, 26, 1);
    le16(data, 28, 24);
    le32(data, 30, 0);
    for (int i = 34; i < 54; i += 4)
        le32(data, i, 0);
    return data;
}

inline QByteArray pcxHeader(int width, int height, int bits, int planes, int bytesPerLine, int encoding = 1)
{
    QByteArray data(128, '\0');
    data[0] = 10;
    data[1] = 5;
    data[2] = char(encoding);
    data[3] = char(bits);
    le16(data, 8, width - 1);
    le16(data, 10, height - 1);
    data[65] = char(planes);
    le16(data, 66, bytesPerLine);
    return data;
}

inline QByteArray gifHeader(int width, int height)
{
    QByteArray data("GIF89a");
    data.resize(13);
    le16(data, 6, width);
    le16(data, 8, height);
    data[10] = 0;
    data[11] = 0;
    data[12] = 0;
    data += QByteArray::fromHex("2c00000000010001000002024401003b"); // one pixel, then the trailer
    return data;
}

// A real JPEG, baseline or progressive, whose frame header is then made to claim width x height.
inline QByteArray jpegClaiming(int width, int height, bool progressive = false)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    const qsizetype frame = data.indexOf(QByteArray::fromHex(progressive ? "ffc2" : "ffc0"));
    qToBigEndian<quint16>(quint16(height), data.data() + frame + 5);
    qToBigEndian<quint16>(quint16(width), data.data() + frame + 7);
    return data;
}

// An icon holding a PNG image whose header claims width x height.
inline QByteArray pngIconClaiming(int width, int height)
{
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    qToBigEndian<quint32>(quint32(width), png.data() + 16);
    qToBigEndian<quint32>(quint32(height), png.data() + 20);
    QByteArray data(6 + 16, '\0');
    le16(data, 2, 1);
    le16(data, 4, 1);
    le32(data, 6 + 8, png.size());
    le32(data, 6 + 12, data.size());
    return data + png;
}

// An icon whose directory entry defers to its bitmap header, which claims width x height.
inline QByteArray iconClaiming(qint64 width, qint64 height)
{
    QByteArray data(6 + 16 + 40 + 64, '\0');
    le16(data, 2, 1);
    le16(data, 4, 1);
    le16(data, 6 + 4, 1);
    le16(data, 6 + 6, 32);
    le32(data, 6 + 8, 40 + 64);
    le32(data, 6 + 12, 22);
    le32(data, 22, 40);
    le32(data, 22 + 4, width);
    le32(data, 22 + 8, height * 2);
    le16(data, 22 + 12, 1);
    le16(data, 22 + 14, 32);
    return data;
}

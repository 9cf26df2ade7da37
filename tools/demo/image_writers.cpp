#include "image_writers.h"
#include "framework/errors.h"

#include <QFile>
#include <QSaveFile>
#include <gif_lib.h>
#include <vector>

namespace {

struct Paletted {
    int width = 0, height = 0;
    std::vector<GifByteType> indices;
    GifColorType colours[256] = {};
};

Paletted quantise(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    Paletted out{rgb.width(), rgb.height(), std::vector<GifByteType>(size_t(rgb.width()) * rgb.height())};
    std::vector<GifByteType> r(out.indices.size()), g(out.indices.size()), b(out.indices.size());
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const size_t i = size_t(y) * rgb.width() + x;
            r[i] = GifByteType(qRed(line[x]));
            g[i] = GifByteType(qGreen(line[x]));
            b[i] = GifByteType(qBlue(line[x]));
        }
    }
    int count = 256;
    if (GifQuantizeBuffer(unsigned(out.width), unsigned(out.height), &count, r.data(), g.data(), b.data(),
                          out.indices.data(), out.colours) != GIF_OK)
        throw Error(QStringLiteral("Cannot reduce the picture to 256 colours"));
    return out;
}

QString cannotWrite(const QString &fileName, const QString &why)
{
    return QStringLiteral("Cannot write %1: %2").arg(fileName, why);
}

void putWord(QByteArray &out, int at, int value)
{
    out[at] = char(value & 0xFF);
    out[at + 1] = char((value >> 8) & 0xFF);
}

} // namespace

void writeGif(const QImage &image, const QString &fileName)
{
    const Paletted p = quantise(image);
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(cannotWrite(fileName, file.errorString()));
    auto output = [](GifFileType *gif, const GifByteType *data, int size) {
        return int(static_cast<QFile *>(gif->UserData)->write(reinterpret_cast<const char *>(data), size));
    };
    int error = 0;
    GifFileType *gif = EGifOpen(&file, output, &error);
    if (!gif)
        throw Error(cannotWrite(fileName, QString::fromUtf8(GifErrorString(error))));
    ColorMapObject *map = GifMakeMapObject(256, p.colours);
    bool ok = map && EGifPutScreenDesc(gif, p.width, p.height, 8, 0, map) == GIF_OK
              && EGifPutImageDesc(gif, 0, 0, p.width, p.height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < p.height; ++y)
        ok = EGifPutLine(gif, const_cast<GifByteType *>(p.indices.data()) + size_t(y) * p.width, p.width) == GIF_OK;
    error = gif->Error;
    GifFreeMapObject(map);
    int closeError = 0;
    if (EGifCloseFile(gif, &closeError) != GIF_OK && ok) {
        ok = false;
        error = closeError;
    }
    if (!ok)
        throw Error(cannotWrite(fileName, QString::fromUtf8(GifErrorString(error))));
    if (!file.flush())
        throw Error(cannotWrite(fileName, file.errorString()));
}

// Our own writer: no library in the project's dependencies writes PCX, and the format is a
// 128-byte header, run-length encoded rows and a palette at the end.
void writePcx(const QImage &image, const QString &fileName)
{
    const Paletted p = quantise(image);
    if (p.width > 0xFFFF || p.height > 0xFFFF)
        throw Error(cannotWrite(fileName, QStringLiteral("too large for PCX")));
    const int bytesPerLine = (p.width + 1) & ~1;
    QByteArray out(128, '\0');
    out[0] = 0x0A; // manufacturer
    out[1] = 5;    // version 3.0, with a 256-colour palette
    out[2] = 1;    // run-length encoding
    out[3] = 8;    // bits per pixel and plane
    putWord(out, 8, p.width - 1);
    putWord(out, 10, p.height - 1);
    putWord(out, 12, 300);
    putWord(out, 14, 300);
    out[65] = 1; // planes
    putWord(out, 66, bytesPerLine);
    putWord(out, 68, 1); // colour palette
    out.reserve(out.size() + qsizetype(p.indices.size()) + 769);
    std::vector<GifByteType> row(size_t(bytesPerLine), 0);
    for (int y = 0; y < p.height; ++y) {
        std::copy_n(p.indices.begin() + qsizetype(y) * p.width, p.width, row.begin());
        for (int x = 0; x < bytesPerLine;) {
            int run = 1;
            while (x + run < bytesPerLine && run < 63 && row[x + run] == row[x])
                ++run;
            if (run > 1 || row[x] >= 0xC0)
                out.append(char(0xC0 | run));
            out.append(char(row[x]));
            x += run;
        }
    }
    out.append(char(0x0C));
    for (const GifColorType &c : p.colours) {
        out.append(char(c.Red));
        out.append(char(c.Green));
        out.append(char(c.Blue));
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit())
        throw Error(cannotWrite(fileName, file.errorString()));
}

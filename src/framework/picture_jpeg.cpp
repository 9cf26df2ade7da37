#include "framework/picture_decoders.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSysInfo>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

// libjpeg reports fatal errors through a longjmp back into the function that called it. Each
// function below that calls libjpeg sets its own jump point and holds no object with a
// destructor, so the jump skips nothing but libjpeg's own C frames.

namespace {

// libjpeg-turbo writes the bytes of Format_RGB32 directly, in this machine's byte order.
constexpr J_COLOR_SPACE Rgb32Space = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRA : JCS_EXT_ARGB;

// A progressive file of thousands of tiny scans keeps the decoder busy for minutes; real
// files have about ten, and libjpeg-turbo's own fuzzing refuses more than 500.
constexpr int MaxScans = 500;

// The most libjpeg may take, beyond our picture: a progressive file keeps all its coefficients,
// 2 bytes a sample, so this admits a colour picture of 180 million pixels, twice that subsampled.
constexpr long MaxLibraryMemory = 1024L * 1024 * 1024;

// Huffman coding spends at least a bit on each 8 × 8 block of each component; with the
// sparsest sampling two components allow, a byte covers at most 1024 pixels.
constexpr double JpegPixelsPerByte = 1024;

constexpr int RowsPerCall = 16;

// The widest block (iMCU) of any sampling, in output pixels.
constexpr JDIMENSION CropMargin = 16;

void onFatalError(j_common_ptr info);
void onMessage(j_common_ptr info, int level);

struct JpegDecoder {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    jpeg_progress_mgr progress{};
    std::jmp_buf failed{};
    bool damaged = false;
    bool cmyk = false;
    bool tooManyScans = false;

    JpegDecoder()
    {
        info.err = jpeg_std_error(&errors);
        errors.error_exit = onFatalError;
        errors.emit_message = onMessage;
        info.client_data = this;
    }
    ~JpegDecoder() { jpeg_destroy_decompress(&info); }
    JpegDecoder(const JpegDecoder &) = delete;
    JpegDecoder &operator=(const JpegDecoder &) = delete;
};

JpegDecoder *decoderOf(j_common_ptr info)
{
    return static_cast<JpegDecoder *>(info->client_data);
}

void onFatalError(j_common_ptr info)
{
    std::longjmp(decoderOf(info)->failed, 1);
}

// libjpeg goes on past damaged data and only warns; the metadata warnings leave the pixels intact.
void onMessage(j_common_ptr info, int level)
{
    const int code = info->err->msg_code;
    if (level < 0 && code != JWRN_JFIF_MAJOR && code != JWRN_ADOBE_XFORM && code != JWRN_BOGUS_ICC)
        decoderOf(info)->damaged = true;
}

void onProgress(j_common_ptr info)
{
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > MaxScans) {
        decoderOf(info)->tooManyScans = true;
        onFatalError(info);
    }
}

// From memory, or from file when it is given.
bool readHeader(JpegDecoder *d, const unsigned char *bytes, unsigned long size, FILE *file = nullptr)
{
    if (setjmp(d->failed))
        return false;
    jpeg_create_decompress(&d->info);
    d->info.mem->max_memory_to_use = MaxLibraryMemory;
    d->progress.progress_monitor = onProgress;
    d->info.progress = &d->progress;
    if (file)
        jpeg_stdio_src(&d->info, file);
    else
        jpeg_mem_src(&d->info, bytes, size);
    jpeg_read_header(&d->info, TRUE);
    return true;
}

bool startDecompress(JpegDecoder *d, int level = 0)
{
    if (setjmp(d->failed))
        return false;
    d->cmyk = d->info.jpeg_color_space == JCS_CMYK || d->info.jpeg_color_space == JCS_YCCK;
    d->info.out_color_space = d->cmyk ? JCS_CMYK : Rgb32Space;
    d->info.scale_num = 1;
    d->info.scale_denom = 1U << level;
    jpeg_start_decompress(&d->info);
    return true;
}

// libjpeg cannot turn CMYK into RGB; each pixel is replaced in place by its RGB32 value.
// Files with an Adobe marker store CMYK inverted, as Photoshop writes them.
void cmykRowsToRgb(const JpegDecoder *d, unsigned char *bits, qsizetype stride, int first, int count)
{
    const int flip = d->info.saw_Adobe_marker ? 0 : 255;
    for (int y = first; y < first + count; ++y) {
        unsigned char *p = bits + y * stride;
        for (JDIMENSION x = 0; x < d->info.output_width; ++x, p += 4) {
            const int k = p[3] ^ flip;
            const QRgb rgb = qRgb((p[0] ^ flip) * k / 255, (p[1] ^ flip) * k / 255, (p[2] ^ flip) * k / 255);
            std::memcpy(p, &rgb, 4);
        }
    }
}

bool readRows(JpegDecoder *d, unsigned char *bits, qsizetype stride)
{
    if (setjmp(d->failed))
        return false;
    JSAMPROW rows[RowsPerCall];
    while (d->info.output_scanline < d->info.output_height) {
        const int first = int(d->info.output_scanline);
        const int wanted = qMin(RowsPerCall, int(d->info.output_height) - first);
        for (int i = 0; i < wanted; ++i)
            rows[i] = bits + (first + i) * stride;
        const int got = int(jpeg_read_scanlines(&d->info, rows, JDIMENSION(wanted)));
        if (d->cmyk)
            cmykRowsToRgb(d, bits, stride, first, got);
    }
    jpeg_finish_decompress(&d->info);
    return true;
}

// Where window rows go: image's rows from its top, its columns from wantedLeft of the level.
struct WindowTarget {
    QImage *image;
    JDIMENSION wantedLeft;
    int rowsDone = 0;
};

// Decodes only the target's columns (libjpeg widens them to whole blocks) of the rows
// [top, top + image height), RowsPerCall rows at a time through scratch. The rows above are
// skipped without their colour conversion and the rows below are never read.
bool readWindowRows(JpegDecoder *d, WindowTarget *t, int top, unsigned char *scratch)
{
    if (setjmp(d->failed))
        return false;
    // A block's margin each side: at the crop's edge libjpeg upsamples colour as at the
    // picture's edge, which would differ from the whole decode.
    JDIMENSION left = t->wantedLeft > CropMargin ? t->wantedLeft - CropMargin : 0;
    JDIMENSION width = qMin(t->wantedLeft + JDIMENSION(t->image->width()) + CropMargin, d->info.output_width) - left;
    jpeg_crop_scanline(&d->info, &left, &width);
    if (top > 0 && int(jpeg_skip_scanlines(&d->info, JDIMENSION(top))) != top)
        return false;
    const qsizetype stride = qsizetype(d->info.output_width) * 4;
    const size_t skip = size_t(t->wantedLeft - left) * 4;
    const size_t bytes = size_t(t->image->width()) * 4;
    JSAMPROW lines[RowsPerCall];
    while (t->rowsDone < t->image->height()) {
        const int wanted = qMin(RowsPerCall, t->image->height() - t->rowsDone);
        for (int i = 0; i < wanted; ++i)
            lines[i] = scratch + i * stride;
        const int got = int(jpeg_read_scanlines(&d->info, lines, JDIMENSION(wanted)));
        if (got <= 0)
            return false;
        if (d->cmyk)
            cmykRowsToRgb(d, scratch, stride, 0, got);
        for (int i = 0; i < got; ++i)
            std::memcpy(t->image->scanLine(t->rowsDone + i), scratch + i * stride + skip, bytes);
        t->rowsDone += got;
    }
    return true;
}

struct StdioFile {
    FILE *file;
    ~StdioFile()
    {
        if (file)
            std::fclose(file);
    }
};

FILE *openJpegFile(const QString &fileName)
{
    FILE *file = std::fopen(QFile::encodeName(fileName).constData(), "rb");
    if (!file)
        failPicture(fileName, QFile::exists(fileName) ? QStringLiteral("dosya açılamadı")
                                                      : QStringLiteral("dosya bulunamadı"));
    return file;
}

void checkJpegHeader(const QString &fileName, JpegDecoder &d, FILE *file)
{
    if (!readHeader(&d, nullptr, 0, file)) {
        // libjpeg's own side limit: said as ours is.
        if (d.errors.msg_code == JERR_IMAGE_TOO_BIG)
            checkPictureSize(fileName, d.info.image_width, d.info.image_height, true);
        failPicture(fileName, QStringLiteral("dosya bozuk ya da eksik"));
    }
    checkPictureClaim(fileName, QFileInfo(fileName).size(), d.info.image_width, d.info.image_height,
                      JpegPixelsPerByte, true);
}

[[noreturn]] void failJpeg(const QString &fileName, const JpegDecoder &d)
{
    if (d.tooManyScans)
        failPicture(fileName, QStringLiteral("JPEG dosyasında %1'den fazla tarama var").arg(MaxScans));
    const int code = d.errors.msg_code;
    if (code == JERR_NO_BACKING_STORE || code == JERR_OUT_OF_MEMORY)
        failPicture(fileName, QStringLiteral("resmi çözmek için gereken bellek %1 MB sınırını aşıyor")
                                  .arg(MaxLibraryMemory / (1024 * 1024)));
    failPicture(fileName, QStringLiteral("dosya bozuk ya da eksik"));
}

} // namespace

QImage decodeJpeg(const PictureFile &file, QString *warning)
{
    JpegDecoder d;
    if (!readHeader(&d, reinterpret_cast<const unsigned char *>(file.data.constData()),
                    static_cast<unsigned long>(file.data.size())))
        failCorruptPicture(file);
    checkPictureClaim(file, d.info.image_width, d.info.image_height, JpegPixelsPerByte);
    if (!startDecompress(&d))
        failJpeg(file.name, d);

    QImage image = allocatePicture(file, int(d.info.output_width), int(d.info.output_height), QImage::Format_RGB32);
    if (!readRows(&d, image.bits(), image.bytesPerLine())) {
        const int decoded = int(d.info.output_scanline);
        if (decoded == 0 || d.tooManyScans)
            failJpeg(file.name, d);
        whitenRows(image, decoded, image.height() - decoded);
        d.damaged = true;
    }
    if (d.damaged)
        reportDamage(file, warning);
    return image;
}

QSize jpegFileSize(const QString &fileName)
{
    const StdioFile file{openJpegFile(fileName)};
    JpegDecoder d;
    checkJpegHeader(fileName, d, file.file);
    return QSize(int(d.info.image_width), int(d.info.image_height));
}

QImage readJpegWindow(const QString &fileName, int level, const QRect &window, QString *warning)
{
    const StdioFile file{openJpegFile(fileName)};
    JpegDecoder d;
    checkJpegHeader(fileName, d, file.file);
    if (!startDecompress(&d, level))
        failJpeg(fileName, d);
    const QRect part = window & QRect(0, 0, int(d.info.output_width), int(d.info.output_height));
    QImage image(window.size(), QImage::Format_RGB32);
    if (image.isNull())
        failPicture(fileName, QStringLiteral("resim için bellek yetersiz"));
    if (part.isEmpty()) {
        image.fill(Qt::white);
        return image;
    }
    // Rows go straight into the image unless the window reaches past the picture.
    QImage partial = part == window ? QImage() : QImage(part.size(), QImage::Format_RGB32);
    QImage &rows = part == window ? image : partial;
    std::vector<unsigned char> scratch(size_t(d.info.output_width) * 4 * RowsPerCall);
    WindowTarget t{&rows, JDIMENSION(part.x())};
    if (!readWindowRows(&d, &t, part.y(), scratch.data())) {
        if (t.rowsDone == 0 && part.y() == 0)
            failJpeg(fileName, d);
        whitenRows(rows, t.rowsDone, rows.height() - t.rowsDone);
        d.damaged = true;
    }
    if (part != window) {
        image.fill(Qt::white);
        QPainter(&image).drawImage(part.topLeft() - window.topLeft(), rows);
    }
    if (d.damaged)
        reportDamage(PictureFile{fileName, {}}, warning);
    return image;
}

#include "framework/picture_decoders.h"

#include <QSysInfo>

#include <csetjmp>
#include <cstdio>
#include <cstring>

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

bool readHeader(JpegDecoder *d, const unsigned char *bytes, unsigned long size)
{
    if (setjmp(d->failed))
        return false;
    jpeg_create_decompress(&d->info);
    d->info.mem->max_memory_to_use = MaxLibraryMemory;
    d->progress.progress_monitor = onProgress;
    d->info.progress = &d->progress;
    jpeg_mem_src(&d->info, bytes, size);
    jpeg_read_header(&d->info, TRUE);
    return true;
}

bool startDecompress(JpegDecoder *d)
{
    if (setjmp(d->failed))
        return false;
    d->cmyk = d->info.jpeg_color_space == JCS_CMYK || d->info.jpeg_color_space == JCS_YCCK;
    d->info.out_color_space = d->cmyk ? JCS_CMYK : Rgb32Space;
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

[[noreturn]] void failJpeg(const PictureFile &file, const JpegDecoder &d)
{
    if (d.tooManyScans)
        failPicture(file.name, QStringLiteral("JPEG dosyasında %1'den fazla tarama var").arg(MaxScans));
    const int code = d.errors.msg_code;
    if (code == JERR_NO_BACKING_STORE || code == JERR_OUT_OF_MEMORY)
        failPicture(file.name, QStringLiteral("resmi çözmek için gereken bellek %1 MB sınırını aşıyor")
                                   .arg(MaxLibraryMemory / (1024 * 1024)));
    failCorruptPicture(file);
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
        failJpeg(file, d);

    QImage image = allocatePicture(file, int(d.info.output_width), int(d.info.output_height), QImage::Format_RGB32);
    if (!readRows(&d, image.bits(), image.bytesPerLine())) {
        const int decoded = int(d.info.output_scanline);
        if (decoded == 0 || d.tooManyScans)
            failJpeg(file, d);
        whitenRows(image, decoded, image.height() - decoded);
        d.damaged = true;
    }
    if (d.damaged)
        reportDamage(file, warning);
    return image;
}

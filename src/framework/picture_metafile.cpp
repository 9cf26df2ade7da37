#include "framework/picture_decoders.h"

#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>

#include <climits>
#include <cstdlib>
#include <memory>

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>

// Both metafile kinds are turned into SVG by their library and painted by QtSvg onto a
// transparent image of the picture's size at 96 pixels per inch.

namespace {

constexpr int PixelsPerInch = 96;
constexpr int HundredthsOfMmPerInch = 2540;

QImage renderSvg(const PictureFile &file, const QByteArray &svg, QSize size)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        failCorruptPicture(file);
    if (size.isEmpty())
        size = renderer.defaultSize();
    checkPictureSize(file, size.width(), size.height());
    QImage image = allocatePicture(file, size.width(), size.height(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

int appendSvg(char *text, void *svg)
{
    static_cast<QByteArray *>(svg)->append(text);
    return 0;
}

int restartSvg(void *svg)
{
    static_cast<QByteArray *>(svg)->clear();
    return 0;
}

struct WmfSession {
    wmfAPI *api = nullptr;
    WmfSession() = default;
    ~WmfSession()
    {
        if (api)
            wmf_api_destroy(api);
    }
    WmfSession(const WmfSession &) = delete;
    WmfSession &operator=(const WmfSession &) = delete;
};

} // namespace

QImage decodeWmf(const PictureFile &file)
{
    WmfSession session;
    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    if (wmf_api_create(&session.api, flags, &options) != wmf_E_None)
        failPicture(file.name, QStringLiteral("WMF okuyucusu başlatılamadı"));

    // libwmf only reads the buffer; its interface predates const.
    auto *bytes = reinterpret_cast<unsigned char *>(const_cast<char *>(file.data.constData()));
    wmfD_Rect box{};
    unsigned int width = 0;
    unsigned int height = 0;
    if (wmf_mem_open(session.api, bytes, long(file.data.size())) != wmf_E_None
        || wmf_scan(session.api, 0, &box) != wmf_E_None
        || wmf_display_size(session.api, &width, &height, PixelsPerInch, PixelsPerInch) != wmf_E_None)
        failCorruptPicture(file);

    QByteArray svg;
    wmfStream stream{&svg, appendSvg, restartSvg};
    static char description[] = "";
    wmf_svg_t *device = WMF_SVG_GetData(session.api);
    device->out = &stream;
    device->Description = description;
    device->bbox = box;
    device->width = width;
    device->height = height;
    device->flags |= WMF_SVG_INLINE_IMAGES; // never write image files next to the picture
    if (wmf_play(session.api, 0, &box) != wmf_E_None)
        failCorruptPicture(file);
    return renderSvg(file, svg, QSize(int(width), int(height)));
}

QImage decodeEmf(const PictureFile &file)
{
    // The header record: type 1, the signature " EMF" at 40, the picture's frame in 0.01 mm at 24.
    const auto *p = reinterpret_cast<const uchar *>(file.data.constData());
    if (file.data.size() < 88 || qFromLittleEndian<quint32>(p) != 1
        || qFromLittleEndian<quint32>(p + 40) != 0x464d4520)
        failCorruptPicture(file);
    const auto frameToPixels = [&](int from, int to) {
        const qint64 extent = qint64(qFromLittleEndian<qint32>(p + to)) - qFromLittleEndian<qint32>(p + from);
        return int(qBound<qint64>(0, extent * PixelsPerInch / HundredthsOfMmPerInch, qint64(INT_MAX)));
    };
    const QSize frame(frameToPixels(24, 32), frameToPixels(28, 36));

    static char noNamespace[] = "";
    generatorOptions options{};
    options.nameSpace = noNamespace; // with a prefix, libemf2svg closes some elements without it
    options.svgDelimiter = true;
    char *output = nullptr;
    size_t length = 0;
    // libemf2svg only reads the buffer; its interface predates const.
    const int converted = emf2svg(const_cast<char *>(file.data.constData()), size_t(file.data.size()), &output,
                                  &length, &options);
    const std::unique_ptr<char, decltype(&std::free)> owner(output, &std::free);
    if (!converted || !output)
        failCorruptPicture(file);
    return renderSvg(file, QByteArray(output, qsizetype(length)), frame);
}

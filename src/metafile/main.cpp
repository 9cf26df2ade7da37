// zemira-metafile wmf|emf: reads a metafile on standard input and writes its size in pixels
// ("width height\n") and then the picture as SVG to standard output. Exit status 2: the library
// refused the file. The metafile libraries run here, in a process of their own, because a
// hostile file can make them abort, crash or run away; the program only sees this process fail.
// It keeps the C locale: the libraries write SVG numbers with printf, and a Turkish locale's
// decimal comma would garble every coordinate.

#include <algorithm>
#include <climits>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>

namespace {

constexpr int PixelsPerInch = 96;
constexpr int Refused = 2;

// Both libraries get the file with zeros after it: libemf2svg reads up to 8 bytes past the end
// of a file cut inside a record header, and zeros there end its parsing as a real end would.
constexpr size_t Padding = 64;

std::vector<char> readInput()
{
    std::vector<char> data;
    char chunk[65536];
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            std::exit(EXIT_FAILURE);
        if (got == 0)
            break;
        data.insert(data.end(), chunk, chunk + got);
    }
    return data;
}

// The file, then Padding zero bytes, then a page no one may read: a library reading further
// than the padding crashes at once, where the tests see it, instead of reading stray memory.
char *guardedCopy(const std::vector<char> &data)
{
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t used = (data.size() + Padding + page - 1) / page * page;
    auto *base = static_cast<char *>(mmap(nullptr, used + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (base == MAP_FAILED || mprotect(base + used, page, PROT_NONE) != 0)
        std::exit(EXIT_FAILURE);
    char *start = base + used - Padding - data.size();
    if (!data.empty())
        std::memcpy(start, data.data(), data.size());
    return start; // anonymous memory is zero: the padding needs no writing
}

void writeResult(unsigned width, unsigned height, const char *svg, size_t length)
{
    std::printf("%u %u\n", width, height);
    std::fwrite(svg, 1, length, stdout);
    if (std::fflush(stdout) != 0)
        std::exit(EXIT_FAILURE);
}

void appendUtf8(std::string &out, unsigned code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xc0 | code >> 6);
        out += char(0x80 | (code & 0x3f));
    } else {
        out += char(0xe0 | code >> 12);
        out += char(0x80 | (code >> 6 & 0x3f));
        out += char(0x80 | (code & 0x3f));
    }
}

// A metafile's text in XML: Windows-1252 to UTF-8, markup characters escaped, control characters
// (not allowed in XML) dropped.
std::string xmlText(const char *text)
{
    static const unsigned short windows1252[32] = {
        0x20ac, 0, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017d, 0,
        0, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0, 0x017e, 0x0178};
    std::string out;
    for (const unsigned char c : std::string_view(text)) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c >= 0x80 && c < 0xa0 && windows1252[c - 0x80])
            appendUtf8(out, windows1252[c - 0x80]);
        else if ((c >= 0x20 && c < 0x7f) || c >= 0xa0)
            appendUtf8(out, c);
    }
    return out;
}

// libwmf writes a text's characters, just as the file holds them, in a chunk of their own after
// the element's opening "\t>"; left so, a single "é" or "&" makes the whole SVG unreadable.
struct SvgOutput {
    std::string svg;
    bool textNext = false;
};

int appendSvg(char *chunk, void *output)
{
    auto &out = *static_cast<SvgOutput *>(output);
    const bool isText = out.textNext && std::string_view(chunk) != "</text>\n";
    out.svg += isText ? xmlText(chunk) : std::string(chunk);
    out.textNext = !isText && std::string_view(chunk).ends_with("\t>");
    return 0;
}

int restartSvg(void *output)
{
    *static_cast<SvgOutput *>(output) = {};
    return 0;
}

bool placeable(const char *bytes, size_t size)
{
    return size >= 4 && std::memcmp(bytes, "\xd7\xcd\xc6\x9a", 4) == 0;
}

// Without the placeable header a metafile does not say how long its units are: its drawing's
// extent in units, as pixels, is fitted into 768 x 512 pixels, as the common converters do.
void unitlessSize(wmfAPI *api, unsigned &width, unsigned &height)
{
    float units[2] = {0, 0};
    if (wmf_size(api, &units[0], &units[1]) != wmf_E_None || !(units[0] >= 1) || !(units[1] >= 1))
        return;
    const double scale = std::min({1.0, 768 / double(units[0]), 512 / double(units[1])});
    width = unsigned(std::lround(units[0] * scale));
    height = unsigned(std::lround(units[1] * scale));
}

int convertWmf(char *bytes, size_t size)
{
    wmfAPI *api = nullptr;
    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None)
        return EXIT_FAILURE;
    wmfD_Rect box{};
    unsigned int width = 0;
    unsigned int height = 0;
    if (size > LONG_MAX || wmf_mem_open(api, reinterpret_cast<unsigned char *>(bytes), long(size)) != wmf_E_None
        || wmf_scan(api, 0, &box) != wmf_E_None
        || wmf_display_size(api, &width, &height, PixelsPerInch, PixelsPerInch) != wmf_E_None)
        return Refused;
    if (!placeable(bytes, size))
        unitlessSize(api, width, height);

    SvgOutput svg;
    wmfStream stream{&svg, appendSvg, restartSvg};
    static char description[] = "";
    wmf_svg_t *device = WMF_SVG_GetData(api);
    device->out = &stream;
    device->Description = description;
    device->bbox = box;
    device->width = width;
    device->height = height;
    device->flags |= WMF_SVG_INLINE_IMAGES; // never write image files next to the picture
    if (wmf_play(api, 0, &box) != wmf_E_None)
        return Refused;
    writeResult(width, height, svg.svg.data(), svg.svg.size());
    return EXIT_SUCCESS;
}

int32_t le32(const char *at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | uint8_t(at[i]);
    return int32_t(value);
}

int convertEmf(char *bytes, size_t size)
{
    // The header record: type 1, the signature " EMF" at 40, the picture's bounds in device
    // pixels at 8; the picture takes the bounds' extent, as emf2svg-conv sizes its drawing.
    if (size < 88 || le32(bytes) != 1 || le32(bytes + 40) != 0x464d4520)
        return Refused;
    const auto extent = [&](int from, int to) {
        return unsigned(std::clamp<int64_t>(int64_t(le32(bytes + to)) - le32(bytes + from), 0, UINT_MAX));
    };

    static char noNamespace[] = "";
    generatorOptions options{};
    options.nameSpace = noNamespace; // with a prefix, libemf2svg closes some elements without it
    options.svgDelimiter = true;
    char *svg = nullptr;
    size_t length = 0;
    if (!emf2svg(bytes, size, &svg, &length, &options) || !svg)
        return Refused;
    writeResult(extent(8, 16), extent(12, 20), svg, length);
    std::free(svg);
    return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string kind = argc == 2 ? argv[1] : "";
    if (kind != "wmf" && kind != "emf") {
        std::fputs("usage: zemira-metafile wmf|emf < file > size-and-svg\n", stderr);
        return EXIT_FAILURE;
    }
    const std::vector<char> data = readInput();
    char *bytes = guardedCopy(data);
    return kind == "wmf" ? convertWmf(bytes, data.size()) : convertEmf(bytes, data.size());
}

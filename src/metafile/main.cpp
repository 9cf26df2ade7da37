// zemira-metafile wmf|emf: reads a metafile on standard input and writes its size in pixels
// ("width height\n") and then the picture as SVG to standard output. Exit status 2: the library
// refused the file. The metafile libraries run here, in a process of their own, because a
// hostile file can make them abort, crash or run away; the program only sees this process fail.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>

namespace {

constexpr int PixelsPerInch = 96;
constexpr int HundredthsOfMmPerInch = 2540;
constexpr int Refused = 2;

// libemf2svg reads up to 8 bytes past the end of a file cut inside a record header; zeros there
// end its parsing, as at a real end.
constexpr size_t Padding = 64;

std::vector<char> readInput()
{
    std::vector<char> data;
    char chunk[65536];
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0)
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

int appendSvg(char *text, void *svg)
{
    static_cast<std::string *>(svg)->append(text);
    return 0;
}

int restartSvg(void *svg)
{
    static_cast<std::string *>(svg)->clear();
    return 0;
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

    std::string svg;
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
    writeResult(width, height, svg.data(), svg.size());
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
    // The header record: type 1, the signature " EMF" at 40, the picture's frame in 0.01 mm at 24.
    if (size < 88 || le32(bytes) != 1 || le32(bytes + 40) != 0x464d4520)
        return Refused;
    const auto frameToPixels = [&](int from, int to) {
        const int64_t extent = int64_t(le32(bytes + to)) - le32(bytes + from);
        return unsigned(std::clamp<int64_t>(extent * PixelsPerInch / HundredthsOfMmPerInch, 0, UINT_MAX));
    };

    static char noNamespace[] = "";
    generatorOptions options{};
    options.nameSpace = noNamespace; // with a prefix, libemf2svg closes some elements without it
    options.svgDelimiter = true;
    char *svg = nullptr;
    size_t length = 0;
    if (!emf2svg(bytes, size, &svg, &length, &options) || !svg)
        return Refused;
    writeResult(frameToPixels(24, 32), frameToPixels(28, 36), svg, length);
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

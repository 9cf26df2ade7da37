#include "framework/picture_decoders.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>

#include <sys/resource.h>

// Both metafile kinds are turned into SVG by their library, in the helper program
// zemira-metafile: a hostile file can make those libraries abort, crash, loop or eat memory, and
// only that process may suffer it. QtSvg paints the SVG here onto a transparent image of the
// picture's size: a placeable WMF's box at 96 pixels per inch, a plain WMF's drawing fitted
// into 768 × 512 (as wmf2svg does), an EMF's bounds in device pixels (as emf2svg-conv does).

namespace {

// A few seconds for what takes the helper a few milliseconds.
constexpr int HelperSeconds = 5;
// Far beyond what the libraries need for any real metafile; the SVG they write grows with the file.
constexpr qint64 HelperMemoryBase = 1024LL * 1024 * 1024;
constexpr qint64 HelperMemoryPerByte = 64;
constexpr qint64 SvgBytesBase = 64LL * 1024 * 1024;
constexpr qint64 SvgBytesPerByte = 32;

// The helper beside this program, else the one in the build tree (for the tests);
// ZEMIRA_METAFILE_HELPER names another, as tests do to see a helper fail.
QString helperProgram()
{
    const QString chosen = qEnvironmentVariable("ZEMIRA_METAFILE_HELPER");
    if (!chosen.isEmpty())
        return chosen;
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/zemira-metafile");
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStringLiteral(ZEMIRA_METAFILE_BUILT);
}

void limit(int resource, rlim_t value)
{
    const rlimit both{value, value};
    setrlimit(resource, &both);
}

// The helper's output: its "width height" line, then the SVG.
struct Conversion {
    qint64 width;
    qint64 height;
    QByteArray svg;
};

Conversion convert(const PictureFile &file, const char *kind)
{
    QProcess helper;
    helper.setProgram(helperProgram());
    helper.setArguments({QString::fromLatin1(kind)});
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const rlim_t memory = rlim_t(HelperMemoryBase + HelperMemoryPerByte * file.data.size());
    helper.setChildProcessModifier([memory] {
        limit(RLIMIT_CORE, 0);
        limit(RLIMIT_CPU, HelperSeconds + 1); // should this process die, its helper still ends
#if !defined(__SANITIZE_ADDRESS__)
        // AddressSanitizer reserves terabytes of address space up front; its own allocator caps sizes.
        limit(RLIMIT_AS, memory);
#else
        Q_UNUSED(memory);
#endif
    });
    helper.start();
    if (!helper.waitForStarted())
        failPicture(file.name, QStringLiteral("resim okuyucusu başlatılamadı: %1").arg(helper.program()));
    helper.write(file.data);
    helper.closeWriteChannel();

    const qint64 maxOutput = SvgBytesBase + SvgBytesPerByte * file.data.size();
    const QDeadlineTimer deadline(HelperSeconds * 1000);
    QByteArray output;
    const auto stop = [&](const QString &reason) {
        helper.kill();
        helper.waitForFinished();
        failPicture(file.name, reason);
    };
    const auto remaining = [&] { return int(qMax<qint64>(deadline.remainingTime(), 1)); };
    while (helper.state() != QProcess::NotRunning) {
        if (deadline.hasExpired())
            stop(QStringLiteral("dosyanın okunması çok uzun sürdü"));
        if (!helper.waitForReadyRead(remaining()))
            helper.waitForFinished(remaining()); // its output closed: only its end can come
        output += helper.readAllStandardOutput();
        if (output.size() > maxOutput)
            stop(QStringLiteral("dosyanın çizimi çok büyük"));
    }
    output += helper.readAllStandardOutput();
    if (helper.exitStatus() == QProcess::NormalExit && helper.exitCode() == 2)
        failCorruptPicture(file);
    const qsizetype lineEnd = output.indexOf('\n');
    const QList<QByteArray> size = output.left(lineEnd).split(' ');
    if (helper.exitStatus() != QProcess::NormalExit || helper.exitCode() != 0 || lineEnd < 0 || size.size() != 2)
        failPicture(file.name, QStringLiteral("resim okuyucusu dosyayı okurken çöktü"));
    return {size[0].toLongLong(), size[1].toLongLong(), output.mid(lineEnd + 1)};
}

QImage render(const PictureFile &file, const Conversion &conversion)
{
    QSvgRenderer renderer(conversion.svg);
    if (!renderer.isValid())
        failCorruptPicture(file);
    const bool sized = conversion.width > 0 && conversion.height > 0;
    const qint64 width = sized ? conversion.width : renderer.defaultSize().width();
    const qint64 height = sized ? conversion.height : renderer.defaultSize().height();
    checkPictureSize(file, width, height);
    QImage image = allocatePicture(file, int(width), int(height), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

} // namespace

QImage decodeWmf(const PictureFile &file)
{
    return render(file, convert(file, "wmf"));
}

QImage decodeEmf(const PictureFile &file)
{
    return render(file, convert(file, "emf"));
}

// Times loading an 8000 x 6000 map sheet JPEG with loadPicture() against djpeg decoding the same
// file in the same run, and prints both medians and their ratio (target: at most 1.2). From the
// second load on, loadPicture reuses the released picture's memory, as a sheet switch does; the
// first load, into fresh memory, is printed on its own.

#include "benchsupport.h"
#include "framework/picture.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Width = 8000;
constexpr int Height = 6000;
constexpr int Runs = 7;

// Something like a scanned map: relief shading, contour lines, a grid, roads, names, and
// scanner noise over all of it, so the JPEG carries as much detail as a real sheet.
QImage drawMapLikeSheet()
{
    QImage sheet(Width, Height, QImage::Format_RGB32);
    QRandomGenerator random(20240611);
    QPainter painter(&sheet);
    QLinearGradient ground(0, 0, Width, Height);
    ground.setColorAt(0, QColor(236, 228, 196));
    ground.setColorAt(0.5, QColor(210, 226, 180));
    ground.setColorAt(1, QColor(230, 214, 170));
    painter.fillRect(sheet.rect(), ground);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int hill = 0; hill < 40; ++hill) {
        const QPointF centre(random.bounded(Width), random.bounded(Height));
        const double radius = 200 + random.bounded(700);
        QRadialGradient shade(centre, radius);
        shade.setColorAt(0, QColor(150, 120, 80, 120));
        shade.setColorAt(1, QColor(150, 120, 80, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(shade);
        painter.drawEllipse(centre, radius, radius);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(160, 100, 50), 2));
        for (double r = radius; r > 20; r -= 40)
            painter.drawEllipse(centre, r * (0.8 + random.bounded(0.4)), r);
    }
    painter.setPen(QPen(QColor(60, 60, 160), 1));
    for (int x = 0; x < Width; x += 500)
        painter.drawLine(x, 0, x, Height);
    for (int y = 0; y < Height; y += 500)
        painter.drawLine(0, y, Width, y);
    for (int road = 0; road < 60; ++road) {
        QPainterPath path(QPointF(random.bounded(Width), random.bounded(Height)));
        for (int bend = 0; bend < 6; ++bend)
            path.quadTo(random.bounded(Width), random.bounded(Height), random.bounded(Width), random.bounded(Height));
        painter.setPen(QPen(road % 3 ? QColor(200, 40, 30) : QColor(40, 40, 40), 3 + road % 4));
        painter.drawPath(path);
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(28);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int name = 0; name < 3000; ++name)
        painter.drawText(random.bounded(Width), random.bounded(Height), QStringLiteral("Köy %1 Çeşme").arg(name));
    painter.end();

    for (int y = 0; y < Height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(sheet.scanLine(y));
        for (int x = 0; x < Width; ++x) {
            const int noise = int(random.bounded(17)) - 8;
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + noise, 255), qBound(0, qGreen(c) + noise, 255),
                           qBound(0, qBlue(c) + noise, 255));
        }
    }
    return sheet;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("pafta.jpg"));
    {
        QImageWriter writer(file, "jpg");
        writer.setQuality(85);
        if (!writer.write(drawMapLikeSheet())) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }

    std::vector<double> ours;
    std::vector<double> djpeg;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const QImage image = loadPicture(file);
        ours.push_back(timer.nsecsElapsed() / 1e9);
        if (image.size() != QSize(Width, Height)) {
            std::fprintf(stderr, "loaded at the wrong size\n");
            return 1;
        }

        djpeg.push_back(timedMs([&] { runBaseline(QStringLiteral("djpeg"), {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), file}); }) / 1e3);
    }

    const double oursMedian = median(ours);
    const double djpegMedian = median(djpeg);
    std::printf("sheet %d x %d, JPEG quality 85, %.1f MB, %d runs each\n", Width, Height,
                QFileInfo(file).size() / 1e6, Runs);
    std::printf("loadPicture median: %.3f s (first, into fresh memory: %.3f s)\n", oursMedian, ours.front());
    std::printf("djpeg median:       %.3f s\n", djpegMedian);
    std::printf("ratio loadPicture / djpeg: %.2f (target at most 1.20)\n", oursMedian / djpegMedian);
    return 0;
}

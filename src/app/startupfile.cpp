#include "startupfile.h"
#include "framework/errors.h"
#include "framework/textconv.h"

#include <QStringDecoder>

namespace {

QString decode(const QByteArray &line)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(line);
    if (!utf8.hasError())
        return text;
    QStringDecoder turkish("windows-1254");
    return turkish.decode(line);
}

} // namespace

QStringList readStartupLines(const QByteArray &bytes)
{
    QStringList lines;
    QByteArray line;
    bool open = false;
    for (qsizetype i = 0; i < bytes.size() && lines.size() < 8; ++i) {
        const char c = bytes[i];
        if (c == 26)
            break;
        open = true;
        if (c == '\n') {
            lines << decode(line);
            line.clear();
            open = false;
        } else if (c != '\r') {
            line += c;
        }
    }
    if (open && lines.size() < 8)
        lines << decode(line);
    while (lines.size() < 8)
        lines << QString();
    return lines;
}

void parseStartupLines(const QStringList &lines, StartupConfig &config)
{
    QString dir = trimText(lines.value(0));
    dir.replace('\\', '/');
    config.dataDir = dir + '/';
    config.databaseFile = trimText(lines.value(1));
    config.currentSheet = trimText(lines.value(2));
    strToInt(lines.value(3));
    strToInt(lines.value(4));
    config.overviewSpan = strToInt(lines.value(5));
    strToInt(lines.value(6));
    const int divisor = strToInt(lines.value(7));
    // A negative divisor would mirror every sheet and flip every size below zero.
    if (divisor < 0)
        throw Error(QStringLiteral("HARITA.TXT 8. satırdaki ölçek böleni eksi olamaz: '%1'").arg(lines.value(7)));
    config.scaleDivisor = divisor;
}

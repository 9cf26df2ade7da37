#pragma once
// What the saving process writes for place number i, so a check can tell a whole row
// from a half-written one. The long name spreads each row over several database pages.
#include <QFile>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

inline QVariantList savedPlace(int i)
{
    return {i, 2 * i + 1, QStringLiteral("P%1").arg(i), QStringLiteral("Tür %1").arg(i),
            QStringLiteral("Yer %1 ").arg(i) + QString(1500, QChar(0x015F))};
}

// The columns of savedPlace(), in its order.
inline const char *savedColumns()
{
    return "px, py, pafta, tip, isim";
}

// The immutable attribute stops writes even by root, and even through a file already open.
class ReadOnly {
public:
    explicit ReadOnly(const QStringList &paths) : m_paths(paths) { set(true); }
    ~ReadOnly() { set(false); }
    void set(bool on)
    {
        for (const QString &path : m_paths) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
            int flags = 0;
            if (fd < 0 || ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0)
                qFatal("cannot read the attributes of %s", qPrintable(path));
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            if (ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0)
                qFatal("cannot make %s read-only", qPrintable(path));
            ::close(fd);
        }
    }

private:
    QStringList m_paths;
};

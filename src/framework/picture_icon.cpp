#include "framework/picture_decoders.h"

#include <QtEndian>

#include <cstring>

// The first image of an icon file, as its own data says: a directory entry's size and bit
// count are often wrong, and are not read.

QImage decodeIcon(const PictureFile &file, QString *warning)
{
    const auto *p = reinterpret_cast<const uchar *>(file.data.constData());
    const qsizetype size = file.data.size();
    constexpr int DirectoryEntry = 6;
    if (size < DirectoryEntry + 16 || qFromLittleEndian<quint16>(p) != 0 || qFromLittleEndian<quint16>(p + 4) == 0)
        failCorruptPicture(file);
    const int type = qFromLittleEndian<quint16>(p + 2);
    const qint64 offset = qFromLittleEndian<quint32>(p + DirectoryEntry + 12);
    if ((type != 1 && type != 2) || offset < DirectoryEntry + 16 || offset + 16 > size) // icon or cursor
        failCorruptPicture(file);
    static const uchar pngMagic[] = {137, 80, 78, 71, 13, 10, 26, 10};
    if (std::memcmp(p + offset, pngMagic, sizeof pngMagic) == 0)
        return decodePngPart(file, offset);
    return decodeDib(file, offset, 0, true, warning);
}

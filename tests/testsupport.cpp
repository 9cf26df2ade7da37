#include "testsupport.h"

QString fixturePath(const QString &relative)
{
    return QStringLiteral(ZEMIRA_FIXTURES "/") + relative;
}

// The PostgreSQL address: any text gives a configured handle or an Error, and neither the
// message nor the shown address holds the password.
#include "data/postgres.h"
#include "framework/errors.h"

#include <QCoreApplication>
#include <QSqlDatabase>

#include <cstdio>
#include <cstdlib>

namespace {

// The password as written between "user:" and "@"; empty when the text has none or it also
// appears elsewhere (then seeing it proves nothing).
QString writtenPassword(const QString &uri)
{
    const qsizetype start = uri.indexOf(u':');
    if (start <= 0 || !uri.mid(start).startsWith(QLatin1String("://")))
        return {};
    for (QChar c : uri.first(start))
        if (!c.isLetter() || c.unicode() > 0x7f)
            return {};
    const qsizetype hostStart = start + 3;
    qsizetype authorityEnd = uri.size();
    for (QChar c : {u'/', u'?', u'#'}) {
        const qsizetype i = uri.indexOf(c, hostStart);
        if (i >= 0)
            authorityEnd = qMin(authorityEnd, i);
    }
    const QString authority = uri.mid(hostStart, authorityEnd - hostStart);
    const qsizetype at = authority.lastIndexOf(u'@');
    const qsizetype colon = authority.indexOf(u':');
    if (at < 0 || colon < 0 || colon > at)
        return {};
    const QString password = authority.mid(colon + 1, at - colon - 1);
    if (password.size() < 4 || uri.indexOf(password) != uri.lastIndexOf(password))
        return {};
    return password;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    new QCoreApplication(*argc, *argv);
    QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("fuzz"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString uri = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QSqlDatabase db = QSqlDatabase::database(QStringLiteral("fuzz"), false);
    QString shown;
    try {
        configurePostgres(db, uri);
        shown = withoutPassword(uri);
    } catch (const Error &error) {
        shown = error.text();
    }
    // The message's own example address may hold any short password by chance.
    shown.remove(QStringLiteral("postgresql://kullanıcı@sunucu:port/veritabanı"));
    const QString password = writtenPassword(uri);
    if (!password.isEmpty() && shown.contains(password)) {
        std::fprintf(stderr, "password shown: %s\n", qPrintable(shown));
        std::abort();
    }
    return 0;
}

#include "tableplan.h"
#include "data/turkishfold.h"
#include "framework/errors.h"

#include <QLocale>

#include <cmath>

namespace {

struct SchemaColumn {
    const char *name;
    ColumnKind kind;
    bool relied; // Zemira reads or compares it as this kind; others keep the source's kind
};

const QList<SchemaColumn> &schemaOf(const QString &table)
{
    using K = ColumnKind;
    static const QList<SchemaColumn> harita = {{"isim", K::Text, true},   {"tip", K::Text, true},
                                               {"px", K::Integer, true},  {"py", K::Integer, true},
                                               {"pafta", K::Text, true},  {"kod", K::Text, false},
                                               {"cx", K::Integer, false}, {"cy", K::Integer, false}};
    static const QList<SchemaColumn> tipler = {{"ad", K::Text, true}};
    static const QList<SchemaColumn> pafta = {{"num", K::Text, true},    {"ad", K::Text, true},
                                              {"px", K::Integer, true},  {"py", K::Integer, true},
                                              {"px0", K::Integer, true}, {"py0", K::Integer, true},
                                              {"kucuk", K::Text, true}};
    static const QList<SchemaColumn> none;
    if (table == QLatin1String("harita"))
        return harita;
    if (table == QLatin1String("tipler"))
        return tipler;
    if (table == QLatin1String("pafta"))
        return pafta;
    return none;
}

int indexOf(const QList<SourceColumn> &columns, const QString &name)
{
    QStringList names;
    for (const SourceColumn &c : columns)
        names << c.name;
    return findName(names, name);
}

QString typeName(ColumnKind kind, bool postgres)
{
    switch (kind) {
    case ColumnKind::Integer:
        return postgres ? QStringLiteral("bigint") : QStringLiteral("integer");
    case ColumnKind::Real:
        return postgres ? QStringLiteral("double precision") : QStringLiteral("real");
    case ColumnKind::DateTime:
        return postgres ? QStringLiteral("timestamp") : QStringLiteral("datetime");
    case ColumnKind::Blob:
        return postgres ? QStringLiteral("bytea") : QStringLiteral("blob");
    case ColumnKind::Text:
        break;
    }
    return QStringLiteral("text");
}

QString shown(const QVariant &value)
{
    return value.typeId() == QMetaType::QByteArray ? QStringLiteral("<ikili veri>") : value.toString();
}

} // namespace

QString quotedName(QString name)
{
    return '"' + name.replace('"', QLatin1String("\"\"")) + '"';
}

int findName(const QStringList &names, const QString &name)
{
    const int exact = names.indexOf(name);
    if (exact >= 0)
        return exact;
    const QString folded = turkishfold::fold(name);
    QList<int> found;
    for (int i = 0; i < names.size(); ++i)
        if (turkishfold::fold(names[i]) == folded)
            found << i;
    if (found.size() > 1) {
        QStringList which;
        for (int i : found)
            which << names[i];
        throw Error(QStringLiteral("%1 adına birden çok ad uyuyor: %2").arg(name, which.join(QLatin1String(", "))));
    }
    return found.value(0, -1);
}

TablePlan planTable(const QString &sourceTable, const QList<SourceColumn> &sourceColumns)
{
    TablePlan plan;
    plan.sourceTable = sourceTable;
    const QString folded = turkishfold::fold(sourceTable);
    const QList<SchemaColumn> &schema = schemaOf(folded);
    plan.table = schema.isEmpty() ? sourceTable : folded;

    const int key = indexOf(sourceColumns, QStringLiteral("id"));
    if (key >= 0 && sourceColumns[key].kind != ColumnKind::Integer)
        throw Error(QStringLiteral("%1 tablosunun id sütunu tamsayı değil; birincil anahtar olamaz.").arg(sourceTable));
    plan.keyFromSource = key >= 0;
    plan.columns.append({QStringLiteral("id"), ColumnKind::Integer, key});

    QList<bool> used(sourceColumns.size(), false);
    if (key >= 0)
        used[key] = true;
    for (const SchemaColumn &c : schema) {
        const int i = indexOf(sourceColumns, QLatin1String(c.name));
        if (i < 0 && c.relied)
            throw Error(QStringLiteral("%1 tablosunda %2 sütunu yok.").arg(sourceTable, QLatin1String(c.name)));
        const ColumnKind kind = i < 0 || c.relied ? c.kind : sourceColumns[i].kind;
        plan.columns.append({QLatin1String(c.name), kind, i});
        if (i >= 0)
            used[i] = true;
    }
    for (int i = 0; i < sourceColumns.size(); ++i)
        if (!used[i])
            plan.columns.append({sourceColumns[i].name, sourceColumns[i].kind, i});
    return plan;
}

QStringList createStatements(const TablePlan &plan, bool postgres)
{
    // Our schema's key: filled by the database on an append, on PostgreSQL from a sequence.
    QStringList columns = {postgres ? QStringLiteral("id serial primary key") : QStringLiteral("id integer primary key")};
    for (int i = 1; i < plan.columns.size(); ++i) {
        const TargetColumn &c = plan.columns[i];
        const bool relied = !schemaOf(plan.table).isEmpty() && i <= schemaOf(plan.table).size();
        const QString type = postgres && relied && c.kind == ColumnKind::Integer ? QStringLiteral("integer")
                                                                                 : typeName(c.kind, postgres);
        columns << quotedName(c.name) + ' ' + type;
    }
    QStringList statements = {
        QStringLiteral("create table %1 (%2)").arg(quotedName(plan.table), columns.join(QLatin1String(", ")))};
    if (plan.table == QLatin1String("harita"))
        statements << QStringLiteral("create index harita_pafta on harita (pafta)")
                   << QStringLiteral("create index harita_px on harita (px)");
    return statements;
}

QString insertStatement(const TablePlan &plan)
{
    QStringList names;
    QStringList marks;
    for (int i = plan.keyFromSource ? 0 : 1; i < plan.columns.size(); ++i) {
        names << quotedName(plan.columns[i].name);
        marks << QStringLiteral("?");
    }
    return QStringLiteral("insert into %1 (%2) values (%3)")
        .arg(quotedName(plan.table), names.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
}

QVariant convertValue(const QVariant &value, const TargetColumn &column, const TablePlan &plan, qint64 row)
{
    if (!value.isValid() || value.isNull())
        return {};
    const int type = value.typeId();
    const auto refuse = [&](const char *what) -> QVariant {
        throw Error(QStringLiteral("%1.%2, %3. satır: '%4' %5.")
                        .arg(plan.sourceTable, column.name)
                        .arg(row)
                        .arg(shown(value), QString::fromUtf8(what)));
    };
    bool ok = true;
    switch (column.kind) {
    case ColumnKind::Integer:
        if (type == QMetaType::Double) {
            const double d = value.toDouble();
            if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.0e15)
                return qlonglong(d);
            return refuse("tamsayı değil");
        }
        if (type == QMetaType::QByteArray)
            return refuse("tamsayı değil");
        {
            const qlonglong i = type == QMetaType::QString ? value.toString().trimmed().toLongLong(&ok)
                                                           : value.toLongLong(&ok);
            return ok ? QVariant(i) : refuse("tamsayı değil");
        }
    case ColumnKind::Real:
        if (type == QMetaType::QByteArray)
            return refuse("sayı değil");
        {
            const double d = type == QMetaType::QString ? value.toString().trimmed().toDouble(&ok) : value.toDouble(&ok);
            return ok ? QVariant(d) : refuse("sayı değil");
        }
    case ColumnKind::Text:
    case ColumnKind::DateTime:
        if (type == QMetaType::Double)
            return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
        if (type == QMetaType::QByteArray)
            return refuse("metin değil");
        return value.toString();
    case ColumnKind::Blob:
        return type == QMetaType::QString ? QVariant(value.toString().toUtf8()) : QVariant(value.toByteArray());
    }
    return value;
}

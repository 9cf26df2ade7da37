// The importer's value conversion: any value into any column kind gives that kind, null, or an Error.
#include "framework/errors.h"
#include "tableplan.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const auto kind = ColumnKind(input.ConsumeIntegralInRange(0, 4));
    QVariant value;
    switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0: {
        const std::string text = input.ConsumeRemainingBytesAsString();
        value = QString::fromUtf8(text.data(), qsizetype(text.size()));
        break;
    }
    case 1: {
        const std::string bytes = input.ConsumeRemainingBytesAsString();
        value = QByteArray(bytes.data(), qsizetype(bytes.size()));
        break;
    }
    case 2:
        value = input.ConsumeFloatingPoint<double>();
        break;
    case 3:
        value = qlonglong(input.ConsumeIntegral<int64_t>());
        break;
    default:
        break; // null
    }
    const TablePlan plan{QStringLiteral("src"), QStringLiteral("t"), {}, false};
    const TargetColumn column{QStringLiteral("c"), kind, 0};
    QVariant result;
    try {
        result = convertValue(value, column, plan, 1);
    } catch (const Error &) {
        return 0;
    }
    if (result.isNull())
        return value.isNull() ? 0 : (std::abort(), 0);
    const int type = result.typeId();
    const bool right = kind == ColumnKind::Integer ? type == QMetaType::LongLong
        : kind == ColumnKind::Real                 ? type == QMetaType::Double
        : kind == ColumnKind::Blob                 ? type == QMetaType::QByteArray
                                                   : type == QMetaType::QString;
    if (!right)
        std::abort();
    return 0;
}

#include "hexview/AddressText.h"

#include "base/IntegerText.h"

namespace kestrum {

std::optional<qint64> parseAddressText(const QString& text, qint64 current)
{
    QString t = text.trimmed();
    int sign = 0;
    if (t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-'))) {
        sign = t.startsWith(QLatin1Char('+')) ? 1 : -1;
        t = t.mid(1).trimmed();
    }
    const std::optional<qint64> value = readInteger(t, IntegerNotation::address()).value;
    constexpr quint64 Limit = quint64 {1} << 62;
    if (!value || quint64(*value) > Limit)
        return std::nullopt;
    return sign == 0 ? *value : current + sign * *value;
}

QString addressText(qint64 address)
{
    return QStringLiteral("0x") + QString::number(address, 16).toUpper().rightJustified(6, QLatin1Char('0'));
}

} // namespace kestrum

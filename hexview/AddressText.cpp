#include "hexview/AddressText.h"

#include <algorithm>
#include <cctype>

namespace kestrum {

std::optional<qint64> parseAddressText(const QString& text, qint64 current)
{
    QString t = text.trimmed();
    int sign = 0;
    if (t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-'))) {
        sign = t.startsWith(QLatin1Char('+')) ? 1 : -1;
        t = t.mid(1).trimmed();
    }
    int base = 16;
    if (t.startsWith(QLatin1Char('#'))) {
        base = 10;
        t = t.mid(1);
    } else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        t = t.mid(2);
    }
    // Digits only: QString's conversion would take a sign or blanks of its own.
    const bool digitsOnly = !t.isEmpty() && std::all_of(t.begin(), t.end(), [base](QChar c) {
        return base == 10 ? (c >= u'0' && c <= u'9') : std::isxdigit(c.unicode() < 128 ? c.unicode() : 0) != 0;
    });
    bool ok = false;
    const qint64 value = digitsOnly ? t.toLongLong(&ok, base) : 0;
    constexpr qint64 Limit = qint64 {1} << 62;
    if (!ok || value > Limit)
        return std::nullopt;
    if (sign == 0)
        return value;
    return current + sign * value;
}

QString addressText(qint64 address)
{
    return QStringLiteral("0x") + QString::number(address, 16).toUpper().rightJustified(6, QLatin1Char('0'));
}

} // namespace kestrum

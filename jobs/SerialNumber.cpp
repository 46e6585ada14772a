#include "jobs/SerialNumber.h"

#include "base/IntegerText.h"
#include "buffer/DataBuffer.h"

#include <QStringList>

namespace kestrum {

std::optional<Serial> parseSerial(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 5)
        return std::nullopt;
    Serial s;
    bool ok = true;
    auto number = [&ok](const QString& t) {
        const std::optional<qint64> v = readInteger(t.trimmed(), IntegerNotation::cLiteral()).value;
        ok = ok && v;
        return quint64(v.value_or(0));
    };
    const qulonglong address = number(parts[0]);
    s.start = number(parts[1]);
    qsizetype i = 2;
    if (i < parts.size() && !parts[i].isEmpty() && parts[i].front().isDigit())
        s.step = number(parts[i++]);
    if (i < parts.size() && !parts[i].isEmpty() && parts[i].front().isDigit())
        s.width = static_cast<int>(number(parts[i++]));
    if (i < parts.size()) {
        const QString f = parts[i++].toLower();
        s.format = f == QLatin1String("be") ? Serial::Format::Be
            : f == QLatin1String("ascii")   ? Serial::Format::Ascii
            : f == QLatin1String("hex")     ? Serial::Format::Hex
                                            : Serial::Format::Le;
        ok = ok && (f == QLatin1String("le") || s.format != Serial::Format::Le);
    }
    if (!ok || i != parts.size() || s.width < 1 || s.width > 64 || address + s.width > BufferCapacity
        || !s.fits(s.start))
        return std::nullopt;
    s.address = static_cast<quint32>(address);
    return s;
}

} // namespace kestrum

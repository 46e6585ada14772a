#include "hexview/TMPHMemoryStream.h"

#include "hexview/EMPHexEditor.h"
#include "hexview/MPHTranslation.h"

#include <cstring>

namespace kestrum {

void TMPHMemoryStream::CheckBounds(qint64 position, qint64 count) const
{
    if (position < 0 || count < 0 || position + count > GetSize())
        throw EMPHexEditor(QString::fromLatin1(MPH_ERR_DATA_BOUNDS));
}

char* TMPHMemoryStream::GetAddress(qint64 position, qint64 count)
{
    CheckBounds(position, count);
    return Memory() + position;
}

const char* TMPHMemoryStream::GetAddress(qint64 position, qint64 count) const
{
    CheckBounds(position, count);
    return Memory() + position;
}

void TMPHMemoryStream::ReadBufferAt(void* buffer, qint64 position, qint64 count) const
{
    const char* source = GetAddress(position, count);
    if (count > 0)
        std::memcpy(buffer, source, static_cast<size_t>(count));
}

void TMPHMemoryStream::WriteBufferAt(const void* buffer, qint64 position, qint64 count)
{
    char* destination = GetAddress(position, count);
    if (count > 0)
        std::memmove(destination, buffer, static_cast<size_t>(count));
}

void TMPHMemoryStream::Move(qint64 from, qint64 to, qint64 count)
{
    CheckBounds(from, count);
    CheckBounds(to, count);
    if (count > 0 && from != to)
        std::memmove(Memory() + to, Memory() + from, static_cast<size_t>(count));
}

void TMPHMemoryStream::TranslateToAnsi(TMPHTranslationKind kind, qint64 position, qint64 count)
{
    char* bytes = GetAddress(position, count);
    TranslateBufferToAnsi(kind, bytes, bytes, count);
}

void TMPHMemoryStream::TranslateFromAnsi(TMPHTranslationKind kind, qint64 position, qint64 count)
{
    char* bytes = GetAddress(position, count);
    TranslateBufferFromAnsi(kind, bytes, bytes, count);
}

QString TMPHMemoryStream::GetAsHex(qint64 position, qint64 count, bool swapNibbles) const
{
    static constexpr char digits[] = "0123456789ABCDEF";
    const char* bytes = GetAddress(position, count);
    QString text(count * 2, Qt::Uninitialized);
    QChar* out = text.data();
    for (qint64 i = 0; i < count; ++i) {
        const auto byte = static_cast<quint8>(bytes[i]);
        const int first = swapNibbles ? (byte & 0x0F) : (byte >> 4);
        const int second = swapNibbles ? (byte >> 4) : (byte & 0x0F);
        *out++ = QLatin1Char(digits[first]);
        *out++ = QLatin1Char(digits[second]);
    }
    return text;
}

} // namespace kestrum

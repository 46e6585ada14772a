#include "hexview/MPHTranslation.h"

#include <QChar>

namespace kestrum {

namespace {

constexpr TMPHCharConvTable identityTable()
{
    TMPHCharConvTable table {};
    for (int i = 0; i < 256; ++i) {
        table.fromSystem[i] = static_cast<quint8>(i);
        table.toSystem[i] = static_cast<quint8>(i);
    }
    return table;
}

const TMPHCharConvTable* tableOf(TMPHTranslationKind kind)
{
    switch (kind) {
    case tkDos8:
    case tkASCII:
        return &MPH_CCONV_OEM;
    case tkMac:
        return &MPH_CCONV_MAC;
    case tkBCD:
        return &MPH_CCONV_BCD38;
    case tkCustom:
        return &MPHCustomCharConv;
    case tkAsIs:
        break;
    }
    return nullptr;
}

// Windows-1252 from 0x80 to 0x9F; the unassigned codes keep their own value.
constexpr char16_t cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
    0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

TMPHCharConvTable MPHCustomCharConv = identityTable();

char16_t SystemCodeToChar(quint8 code)
{
    return code >= 0x80 && code < 0xA0 ? cp1252High[code - 0x80] : char16_t(code);
}

int CharToSystemCode(char16_t character)
{
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return character;
    for (int i = 0; i < 32; ++i) {
        if (cp1252High[i] == character)
            return 0x80 + i;
    }
    return -1;
}

bool IsPrintableSystemCode(quint8 code)
{
    static const std::array<bool, 256> printable = [] {
        std::array<bool, 256> table {};
        for (int i = 0; i < 256; ++i)
            table[i] = QChar(SystemCodeToChar(static_cast<quint8>(i))).isPrint();
        return table;
    }();
    return printable[code];
}

QString MPHTranslationDesc(TMPHTranslationKind kind)
{
    switch (kind) {
    case tkAsIs:
        return QStringLiteral("Windows");
    case tkDos8:
        return QStringLiteral("Dos 8 bits");
    case tkASCII:
        return QStringLiteral("ASCII 7 bits");
    case tkMac:
        return QStringLiteral("Macintosh");
    case tkBCD:
        return QStringLiteral("EBCDIC codepage 38");
    case tkCustom:
        return QStringLiteral("Custom translation");
    }
    return {};
}

QString MPHTranslationDescShort(TMPHTranslationKind kind)
{
    switch (kind) {
    case tkAsIs:
        return QStringLiteral("WIN");
    case tkDos8:
        return QStringLiteral("DOS");
    case tkASCII:
        return QStringLiteral("ASC");
    case tkMac:
        return QStringLiteral("MAC");
    case tkBCD:
        return QStringLiteral("BCD");
    case tkCustom:
        return QStringLiteral("Cust");
    }
    return {};
}

void TranslateBufferToAnsi(TMPHTranslationKind kind, const char* source, char* destination, qint64 count)
{
    const TMPHCharConvTable* table = tableOf(kind);
    for (qint64 i = 0; i < count; ++i) {
        const auto byte = static_cast<quint8>(source[i]);
        destination[i] = static_cast<char>(table ? table->toSystem[byte] : byte);
    }
}

void TranslateBufferFromAnsi(TMPHTranslationKind kind, const char* source, char* destination, qint64 count)
{
    const TMPHCharConvTable* table = tableOf(kind);
    for (qint64 i = 0; i < count; ++i) {
        const auto code = static_cast<quint8>(source[i]);
        destination[i] = static_cast<char>(table ? table->fromSystem[code] : code);
    }
}

quint8 TranslateTypedChar(TMPHTranslationKind kind, quint8 code)
{
    switch (kind) {
    case tkDos8:
        return code < 32 ? 0 : MPH_CCONV_OEM.fromSystem[code];
    case tkASCII:
        return (code < 32 || code > 127) ? 0 : MPH_CCONV_OEM.fromSystem[code];
    default:
        break;
    }
    const TMPHCharConvTable* table = tableOf(kind);
    return table ? table->fromSystem[code] : code;
}

} // namespace kestrum

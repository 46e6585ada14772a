#include "hexview/Translation.h"

#include <QChar>

namespace kestrum {

namespace {

constexpr CharConvTable identityTable()
{
    CharConvTable table {};
    for (int i = 0; i < 256; ++i) {
        table.fromSystem[i] = static_cast<quint8>(i);
        table.toSystem[i] = static_cast<quint8>(i);
    }
    return table;
}

const CharConvTable* tableOf(TranslationKind kind)
{
    switch (kind) {
    case TranslationKind::Dos8:
    case TranslationKind::Ascii:
        return &OemCharConv;
    case TranslationKind::Mac:
        return &MacCharConv;
    case TranslationKind::Ebcdic:
        return &EbcdicCharConv;
    case TranslationKind::Custom:
        return &customCharConv;
    case TranslationKind::AsIs:
        break;
    }
    return nullptr;
}

// Windows-1252 from 0x80 to 0x9F; the unassigned codes keep their own value.
constexpr char16_t cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
    0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

CharConvTable customCharConv = identityTable();

char16_t systemCodeToChar(quint8 code)
{
    return code >= 0x80 && code < 0xA0 ? cp1252High[code - 0x80] : char16_t(code);
}

int charToSystemCode(char16_t character)
{
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return character;
    for (int i = 0; i < 32; ++i) {
        if (cp1252High[i] == character)
            return 0x80 + i;
    }
    return -1;
}

bool isPrintableSystemCode(quint8 code)
{
    static const std::array<bool, 256> printable = [] {
        std::array<bool, 256> table {};
        for (int i = 0; i < 256; ++i)
            table[i] = QChar(systemCodeToChar(static_cast<quint8>(i))).isPrint();
        return table;
    }();
    return printable[code];
}

QString translationDescription(TranslationKind kind)
{
    switch (kind) {
    case TranslationKind::AsIs:
        return QStringLiteral("Windows");
    case TranslationKind::Dos8:
        return QStringLiteral("Dos 8 bits");
    case TranslationKind::Ascii:
        return QStringLiteral("ASCII 7 bits");
    case TranslationKind::Mac:
        return QStringLiteral("Macintosh");
    case TranslationKind::Ebcdic:
        return QStringLiteral("EBCDIC codepage 38");
    case TranslationKind::Custom:
        return QStringLiteral("Custom translation");
    }
    return {};
}

QString translationShortDescription(TranslationKind kind)
{
    switch (kind) {
    case TranslationKind::AsIs:
        return QStringLiteral("WIN");
    case TranslationKind::Dos8:
        return QStringLiteral("DOS");
    case TranslationKind::Ascii:
        return QStringLiteral("ASC");
    case TranslationKind::Mac:
        return QStringLiteral("MAC");
    case TranslationKind::Ebcdic:
        return QStringLiteral("BCD");
    case TranslationKind::Custom:
        return QStringLiteral("Cust");
    }
    return {};
}

void translateBufferToAnsi(TranslationKind kind, const char* source, char* destination, qint64 count)
{
    const CharConvTable* table = tableOf(kind);
    for (qint64 i = 0; i < count; ++i) {
        const auto byte = static_cast<quint8>(source[i]);
        destination[i] = static_cast<char>(table ? table->toSystem[byte] : byte);
    }
}

void translateBufferFromAnsi(TranslationKind kind, const char* source, char* destination, qint64 count)
{
    const CharConvTable* table = tableOf(kind);
    for (qint64 i = 0; i < count; ++i) {
        const auto code = static_cast<quint8>(source[i]);
        destination[i] = static_cast<char>(table ? table->fromSystem[code] : code);
    }
}

quint8 translateTypedChar(TranslationKind kind, quint8 code)
{
    switch (kind) {
    case TranslationKind::Dos8:
        return code < 32 ? 0 : OemCharConv.fromSystem[code];
    case TranslationKind::Ascii:
        return (code < 32 || code > 127) ? 0 : OemCharConv.fromSystem[code];
    default:
        break;
    }
    const CharConvTable* table = tableOf(kind);
    return table ? table->fromSystem[code] : code;
}

} // namespace kestrum

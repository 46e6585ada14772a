#include "hexview/MPHTranslation.h"

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

} // namespace

TMPHCharConvTable MPHCustomCharConv = identityTable();

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

#pragma once

#include "hexview/MPHexEditorTypes.h"

#include <QString>

#include <array>

namespace kestrum {

/// A pair of 256-entry byte tables between the system code page and a data code page; each
/// table is the inverse of the other.
struct TMPHCharConvTable
{
    std::array<quint8, 256> fromSystem; ///< system code -> data byte
    std::array<quint8, 256> toSystem; ///< data byte -> system code
};

/// OEM (DOS, code page 437) bytes for tkDos8 and tkASCII; the system code page is Windows-1252.
extern const TMPHCharConvTable MPH_CCONV_OEM;
/// Macintosh Roman bytes for tkMac.
extern const TMPHCharConvTable MPH_CCONV_MAC;
/// EBCDIC bytes for tkBCD.
extern const TMPHCharConvTable MPH_CCONV_BCD38;
/// The tkCustom tables; the identity until the application replaces them.
extern TMPHCharConvTable MPHCustomCharConv;

/// Long description of a translation kind ("Windows", "Dos 8 bits", ...).
QString MPHTranslationDesc(TMPHTranslationKind kind);
/// Short description of a translation kind ("WIN", "DOS", ...).
QString MPHTranslationDescShort(TMPHTranslationKind kind);

/// Converts `count` data bytes of the translation `kind` to the system code page.
void TranslateBufferToAnsi(TMPHTranslationKind kind, const char* source, char* destination, qint64 count);
/// Converts `count` system code page bytes to data bytes of the translation `kind`.
void TranslateBufferFromAnsi(TMPHTranslationKind kind, const char* source, char* destination, qint64 count);

/// The data byte a character typed into the character field becomes (system code `code`, below 256).
quint8 TranslateTypedChar(TMPHTranslationKind kind, quint8 code);

/// The character of a system code page byte. The system code page is Windows-1252; its five
/// unassigned codes (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of the same
/// value, so that every byte has a character and every such character its byte. The display,
/// typing and the clipboard text all use this one mapping.
char16_t SystemCodeToChar(quint8 code);
/// The system code page byte of a character; -1 when the code page has none.
int CharToSystemCode(char16_t character);
/// Whether the character of a system code page byte has a glyph to show (control characters, the
/// soft hyphen and the unassigned codes have none).
bool IsPrintableSystemCode(quint8 code);

} // namespace kestrum

#pragma once

#include "hexview/HexEditorTypes.h"

#include <QString>

#include <array>

namespace kestrum {

/// A pair of 256-entry byte tables between the system code page and a data code page; each
/// table is the inverse of the other.
struct CharConvTable
{
    std::array<quint8, 256> fromSystem; ///< system code -> data byte
    std::array<quint8, 256> toSystem; ///< data byte -> system code
};

/// OEM (DOS, code page 437) bytes for TranslationKind::Dos8 and TranslationKind::Ascii; the system code page is
/// Windows-1252.
extern const CharConvTable OemCharConv;
/// Macintosh Roman bytes for TranslationKind::Mac.
extern const CharConvTable MacCharConv;
/// EBCDIC bytes for TranslationKind::Ebcdic.
extern const CharConvTable EbcdicCharConv;
/// The TranslationKind::Custom tables; the identity until the application replaces them.
extern CharConvTable customCharConv;

/// Long description of a translation kind ("Windows", "Dos 8 bits", ...).
QString translationDescription(TranslationKind kind);
/// Short description of a translation kind ("WIN", "DOS", ...).
QString translationShortDescription(TranslationKind kind);

/// Converts `count` data bytes of the translation `kind` to the system code page.
void translateBufferToAnsi(TranslationKind kind, const char* source, char* destination, qint64 count);
/// Converts `count` system code page bytes to data bytes of the translation `kind`.
void translateBufferFromAnsi(TranslationKind kind, const char* source, char* destination, qint64 count);

/// The data byte a character typed into the character field becomes (system code `code`, below 256).
quint8 translateTypedChar(TranslationKind kind, quint8 code);

/// The character of a system code page byte. The system code page is Windows-1252; its five
/// unassigned codes (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of the same
/// value, so that every byte has a character and every such character its byte. The display,
/// typing and the clipboard text all use this one mapping.
char16_t systemCodeToChar(quint8 code);
/// The system code page byte of a character; -1 when the code page has none.
int charToSystemCode(char16_t character);
/// Whether the character of a system code page byte has a glyph to show (control characters, the
/// soft hyphen and the unassigned codes have none).
bool isPrintableSystemCode(quint8 code);

} // namespace kestrum

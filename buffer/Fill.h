#pragma once

#include "buffer/DataBuffer.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace kestrum {

enum class FillKind { Byte, Word, Random };

/// What the fill dialog holds: the kind and the four hexadecimal texts as typed.
struct FillRequest
{
    FillKind kind = FillKind::Byte;
    QString byteText = QStringLiteral("FF");
    QString wordText = QStringLiteral("FFFF");
    QString startText = QStringLiteral("00000");
    QString endText = QStringLiteral("FFFF");
};

/// Reads "0x" + text as a signed 32-bit hexadecimal number. On failure *error gets the text of
/// the conversion error ("'0xG1' is not a valid integer value").
std::optional<qint32> parseFillField(const QString& text, QString* error);

/// The outcome of a fill: the used length and the number of bytes to show, or an error text.
struct FillResult
{
    bool ok = false;
    QString error;
    qint32 usedLength = 0;
};

/// Fills the buffer as the request says. seedSeconds seeds the random kind, so two fills within
/// the same second give the same bytes. Nothing is written when a field is no number or the
/// range is reversed or leaves the buffer (rangeError is then the message to show).
FillResult fillBuffer(
    DataBuffer& buffer, const FillRequest& request, std::uint32_t seedSeconds, const QString& rangeError);

/// The end address the dialog proposes for a chip: size − 1 in upper-case hexadecimal.
QString proposedFillEnd(std::uint32_t chipSize);

} // namespace kestrum

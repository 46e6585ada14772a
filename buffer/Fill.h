#pragma once

#include "base/Reporter.h"
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

/// A fill whose fields have been read and whose range lies inside the buffer.
struct FillPlan
{
    FillKind kind = FillKind::Byte;
    std::uint8_t value8 = 0xFF;
    std::uint16_t value16 = 0xFFFF;
    std::uint32_t start = 0;
    std::uint32_t end = 0; ///< included
};

/// Reads the four fields (all of them, whichever kind is chosen) and checks the range. Nothing
/// is written. On failure *error gets the conversion error of the first field that is no number,
/// or rangeError for a range that is reversed or leaves the buffer.
std::optional<FillPlan> planFill(const FillRequest& request, const QString& rangeError, QString* error);

/// Writes the fill into the buffer. seedSeconds seeds the random kind, so two fills within the
/// same second give the same bytes. The used length never shrinks: it becomes the larger of what
/// it was and end + 1, so that nothing loaded or read before is cut off from Write. Returns it.
qint32 applyFill(DataBuffer& buffer, const FillPlan& plan, std::uint32_t seedSeconds);

/// The outcome of a fill: the used length afterwards, or an error text.
struct FillResult
{
    bool ok = false;
    QString error;
    qint32 usedLength = 0;
};

/// planFill and applyFill in one.
FillResult fillBuffer(
    DataBuffer& buffer, const FillRequest& request, std::uint32_t seedSeconds, const QString& rangeError);

/// The end address the dialog proposes for a chip: size − 1 in upper-case hexadecimal.
/// The log line of a fill: its kind, its value and its range.
QString fillLogLine(const Reporter& reporter, const FillPlan& plan);

QString proposedFillEnd(std::uint32_t chipSize);

} // namespace kestrum

#pragma once

#include "base/ReplacementFile.h"
#include "base/UserInterface.h"
#include "buffer/RecordLine.h"

#include <QString>

#include <cstdint>

namespace kestrum {

/// Reads a Motorola S-record file into buffer, which holds at least maxSize bytes: S1, S2 and S3
/// data at absolute addresses, S0 and S4 to S6 ignored, S7, S8 or S9 ends. Same contract as
/// readIntelHex: the extent at the terminator, 0 on every failure, each failure shown once.
qint32 readSRecord(const QString& fileName, std::uint8_t* buffer, std::uint32_t maxSize, UserInterface& ui);
/// The same from an opened record file.
qint32 readSRecord(RecordFile& file, std::uint8_t* buffer, std::uint32_t maxSize, UserInterface& ui);

/// Writes buffer bytes 0 to length - 1 as an S-record file: the fixed S0 header, 16 data bytes a
/// record as S1, S2 or S3 by the length, records of all 0xFF left out, the matching terminator.
/// Shows "Cannot create file <name>" and the system's reason when the file cannot be created;
/// error receives the reason of a write that failed after that. A file that it replaces
/// stays as it was until the new one is complete.
[[nodiscard]] WriteResult writeSRecord(
    const QString& fileName, const std::uint8_t* buffer, std::uint32_t length, UserInterface& ui, int* error = nullptr);

} // namespace kestrum

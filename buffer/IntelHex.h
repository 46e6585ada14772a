#pragma once

#include "base/ReplacementFile.h"
#include "base/UserInterface.h"
#include "buffer/RecordLine.h"

#include <QString>

#include <cstdint>

namespace kestrum {

/// Reads an Intel HEX file into buffer, which holds at least maxSize bytes. Only indexes below
/// maxSize are written; bytes that no record covers keep their value. Returns the extent (highest
/// index written + 1) once the end-of-file record is reached, 0 on every failure; every failure
/// has been shown by then ("Cannot open file <name>" when the file cannot be opened). What the
/// records before a failure stored stays stored. A file without data records also returns 0.
qint32 readIntelHex(const QString& fileName, std::uint8_t* buffer, std::uint32_t maxSize, UserInterface& ui);
/// The same from an opened record file.
qint32 readIntelHex(RecordFile& file, std::uint8_t* buffer, std::uint32_t maxSize, UserInterface& ui);

/// Writes buffer bytes 0 to length - 1 as an Intel HEX file: 32 data bytes a record, records of
/// all 0xFF left out, an extended linear address record at every 64 KiB boundary, CR LF line
/// ends. Shows "Cannot create file <name>" and the system's reason when the file cannot be created;
/// error receives the reason of a write that failed after that. A file that it
/// replaces stays as it was until the new one is complete.
[[nodiscard]] WriteResult writeIntelHex(
    const QString& fileName, const std::uint8_t* buffer, std::uint32_t length, UserInterface& ui, int* error = nullptr);

} // namespace kestrum

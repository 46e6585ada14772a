#pragma once

#include "base/Reporter.h"
#include "base/UserInterface.h"

#include <QString>

#include <cstdint>

namespace kestrum {

/// Bytes in front of the image in a capsule (".cap") file; they are skipped, not interpreted.
inline constexpr std::uint32_t CapsuleHeaderSize = 2048;

enum class FileKind {
    RawBinary, ///< the bytes as they are
    Capsule, ///< raw bytes after a header of CapsuleHeaderSize bytes
    IntelHex,
    SRecord,
};

/// The extension: the file name from its last "." on, dot included; empty when there is none.
QString fileExtension(const QString& fileName);

/// Kind of a file to load by its extension alone; a ".eep" file is decided by its first
/// character (see LoadImageFile) and counts as raw here.
FileKind loadKindForName(const QString& fileName);
/// Kind of a file to save: ".src" S-record, ".hex" Intel HEX, everything else raw (ignoring case).
FileKind saveKindForName(const QString& fileName);

/// Loads a data file into destination (capacity bytes) by its kind and returns the byte count
/// (the extent for Intel HEX and S-record files), 0 on failure after the failure has been shown.
/// Writes only into destination.
qint32 LoadImageFile(const QString& fileName, std::uint8_t* destination, std::uint32_t capacity, UserInterface& ui);

/// What to do when the file to save exists already.
enum class ExistingFile {
    Ask, ///< ask MsgFileExists; No keeps the file and saves nothing
    Replace, ///< replace it without asking
};

/// Saves length bytes of source by the kind of the file name. Failures are shown. Returns true
/// when the file was written, false when it was not (the user declined to replace it, or a
/// failure that has been shown); a file that was there stays as it was in that case.
bool SaveImageFile(Reporter& reporter, const QString& fileName, const std::uint8_t* source, std::uint32_t length,
    ExistingFile existing = ExistingFile::Ask);

} // namespace kestrum

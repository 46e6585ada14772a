#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <limits>

namespace kestrum {

/// File names are bytes. Bytes that are no part of valid UTF-8 are kept in the text as the code
/// units U+DC80..U+DCFF, one per byte, so that every name the file system gives survives the way
/// through a QString and back. Every file the program opens is named through these two.
QByteArray encodeFileName(const QString& name);
QString decodeFileName(const QByteArray& bytes);

/// Why a file could not be opened for reading.
enum class OpenFailure {
    None,
    Missing, ///< nothing of that name
    NotRegular, ///< a folder, FIFO, device, socket: never opened, so never waited on
    Unreadable, ///< the system refused to open or read it (error number given)
};

/// Opens a regular file for reading. Anything else is refused before it is opened, and the file
/// is opened without waiting, so a FIFO or a device can neither block nor be touched. Returns the
/// descriptor (the caller closes it) or -1; `size` gets the file's size, `error` the system's
/// error number of an Unreadable failure.
int openRegularFile(const QString& path, std::uint64_t* size, OpenFailure* failure = nullptr, int* error = nullptr);

/// Reads at most `limit` bytes from the start of a regular file into `content`; `size` gets the
/// whole file's size.
OpenFailure readRegularFile(const QString& path, QByteArray& content, std::uint64_t* size = nullptr,
    int* error = nullptr, std::uint64_t limit = std::numeric_limits<std::uint64_t>::max());

/// Reads up to count bytes from offset on, retrying interrupted and short reads; returns how many
/// were read (fewer at the end of the file or after a failing read).
std::uint64_t readFully(int fd, void* to, std::uint64_t count, std::uint64_t offset);

/// The system's text for an error number.
QString systemErrorText(int error);

} // namespace kestrum

#pragma once

// Line reading, hexadecimal fields and the error box shared by the Intel HEX and S-record codecs.

#include "base/Messages.h"
#include "base/UserInterface.h"
#include "buffer/HexText.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kestrum {

/// Opens a regular file read-only without ever waiting on it; -1 when it cannot be opened or is
/// no regular file (a folder, FIFO or device). Its size goes to `size`.
int openFileForReading(const QString& fileName, std::uint64_t& size);

struct RecordLine;

/// A record file opened for reading. It is read in large blocks; readRecordLine hands out its lines
/// whole, whatever their length up to a block.
class RecordFile
{
public:
    static constexpr std::size_t DefaultBlockSize = 256 * 1024;
    /// The smallest block: more than the longest record of any format the readers take.
    static constexpr std::size_t MinimumBlockSize = 1024;

    RecordFile() = default;
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    /// Opens a file for reading; false when it cannot be opened (only regular files can).
    [[nodiscard]] bool open(const QString& fileName, std::size_t blockSize = DefaultBlockSize);
    /// Reads from an opened file from its current position on; the record file closes it.
    void openDescriptor(int fd, std::size_t blockSize = DefaultBlockSize);
    /// Reads from bytes in memory instead, copied block by block as from a file. The bytes must
    /// outlive the reading. Used where no file is wanted (the fuzz targets).
    void openMemory(const char* data, std::size_t size, std::size_t blockSize = DefaultBlockSize);
    void close();

    /// Makes at least `want` bytes available from the read position unless the file ends first
    /// (or a read fails); returns how many are available. At most a block is made available.
    std::size_t fill(std::size_t want);
    [[nodiscard]] const char* position() const { return m_block.get() + m_begin; }
    void advance(std::size_t count) { m_begin += count; }
    /// The number (from 1) of the line that readRecordLine handed out last.
    [[nodiscard]] int lineNumber() const { return m_lineNumber; }
    /// What readRecordLine hands out: a part of a line, the end of a line when `ended`.
    void countLinePart(bool ended)
    {
        if (m_lineEnded)
            ++m_lineNumber;
        m_lineEnded = ended;
    }
    /// The system's error number of a read that failed, 0 while none did. A failed read ends
    /// what fill can make available.
    [[nodiscard]] int readError() const { return m_readError; }
    /// The language of the message about a failed read.
    int language = EnglishLanguage;

private:
    std::size_t readMore(char* to, std::size_t room);

    int m_fd = -1;
    const char* m_source = nullptr;
    std::size_t m_sourceLeft = 0;
    std::unique_ptr<char[]> m_block;
    std::size_t m_blockSize = 0;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    bool m_atEnd = true;
    int m_lineNumber = 0;
    bool m_lineEnded = true; ///< the last part handed out ended with a line feed
    int m_readError = 0;
    /// The last line ended with a carriage return: a line feed right after it belongs to it.
    bool m_afterReturn = false;

    friend bool readRecordLine(RecordFile& file, RecordLine& line, UserInterface& ui);
};

/// One line as read by readRecordLine: its characters without the line end. Every column at or
/// after `length` is past the end of the line.
struct RecordLine
{
    const char* text = nullptr;
    int length = 0;

    [[nodiscard]] char at(int column) const { return column < length ? text[column] : '\0'; }
};

/// Reads the next line. A line ends with a line feed, a carriage return or both (CR LF), in any
/// mix within a file, or with the end of the file. When the file ended before, shows "File Read
/// Operation Failed"; when a read failed, shows MsgFileUnreadable with the system's reason. Both
/// return false. A line longer than a block (no record is) is handed out a block at a time.
bool readRecordLine(RecordFile& file, RecordLine& line, UserInterface& ui);

/// Parses `digits` hexadecimal digits (upper or lower case) at `column`. On the first character
/// that is no digit, the end of the line included, shows "Illegal Char in File" and returns false.
bool parseHexField(const RecordLine& line, int column, int digits, std::uint32_t& value, UserInterface& ui);

/// parseHexField for the two digits of one byte, with the common case inline.
inline bool parseHexByte(const RecordLine& line, int column, std::uint32_t& value, UserInterface& ui)
{
    if (column + 2 <= line.length) {
        const int high = hextext::digitValue(line.text[column]);
        const int low = hextext::digitValue(line.text[column + 1]);
        if ((high | low) >= 0) {
            value = static_cast<std::uint32_t>(high << 4 | low);
            return true;
        }
    }
    return parseHexField(line, column, 2, value, ui);
}

/// Writes the low `digits` * 4 bits of value as upper-case digits, most significant first.
void formatHexField(std::uint32_t value, int digits, char* destination);

/// The codecs' error box: caption "Error", stop icon, one OK button.
void showFileError(UserInterface& ui, const QString& text);
/// "Cannot create file <name>", and the system's reason when there is one.
QString cannotCreateText(const QString& fileName, int error);

} // namespace kestrum

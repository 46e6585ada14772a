#include "buffer/RecordLine.h"

#include "base/RegularFile.h"
#include "buffer/HexText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace kestrum {

RecordFile::~RecordFile()
{
    close();
}

int openFileForReading(const QString& fileName, std::uint64_t& size)
{
    return openRegularFile(fileName, &size);
}

bool RecordFile::open(const QString& fileName, std::size_t blockSize)
{
    close();
    std::uint64_t size = 0;
    const int fd = openFileForReading(fileName, size);
    if (fd < 0)
        return false;
    openDescriptor(fd, blockSize);
    return true;
}

void RecordFile::openDescriptor(int fd, std::size_t blockSize)
{
    close();
    m_fd = fd;
    m_blockSize = std::max(blockSize, MinimumBlockSize);
    m_block.reset(new char[m_blockSize]);
    m_begin = m_end = 0;
    m_atEnd = false;
    m_lineNumber = 0;
    m_lineEnded = true;
    m_readError = 0;
    m_afterReturn = false;
}

void RecordFile::openMemory(const char* data, std::size_t size, std::size_t blockSize)
{
    close();
    m_source = data;
    m_sourceLeft = size;
    m_blockSize = std::max(blockSize, MinimumBlockSize);
    m_block.reset(new char[m_blockSize]);
    m_begin = m_end = 0;
    m_atEnd = false;
    m_lineNumber = 0;
    m_lineEnded = true;
    m_readError = 0;
    m_afterReturn = false;
}

void RecordFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_source = nullptr;
    m_sourceLeft = 0;
    m_block.reset();
    m_begin = m_end = 0;
    m_atEnd = true;
    m_afterReturn = false;
}

std::size_t RecordFile::readMore(char* to, std::size_t room)
{
    if (m_fd < 0) {
        const std::size_t n = std::min(room, m_sourceLeft);
        if (n > 0)
            std::memcpy(to, m_source, n);
        m_source += n;
        m_sourceLeft -= n;
        return n;
    }
    for (;;) {
        const ssize_t n = ::read(m_fd, to, room);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR) {
            m_readError = errno;
            return 0;
        }
    }
}

std::size_t RecordFile::fill(std::size_t want)
{
    want = std::min(want, m_blockSize);
    std::size_t available = m_end - m_begin;
    if (available >= want || m_atEnd)
        return available;
    // Keep the unread tail (shorter than one line) and read behind it.
    if (m_begin > 0) {
        std::memmove(m_block.get(), m_block.get() + m_begin, available);
        m_begin = 0;
        m_end = available;
    }
    while (m_end - m_begin < want) {
        const std::size_t n = readMore(m_block.get() + m_end, m_blockSize - m_end);
        if (n == 0) {
            m_atEnd = true;
            break;
        }
        m_end += n;
    }
    return m_end - m_begin;
}

namespace {

const char* lineEnd(const char* text, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (text[i] == '\n' || text[i] == '\r')
            return text + i;
    }
    return nullptr;
}

} // namespace

bool readRecordLine(RecordFile& file, RecordLine& line, UserInterface& ui)
{
    if (file.m_afterReturn && file.fill(1) > 0 && *file.position() == '\n')
        file.advance(1);
    file.m_afterReturn = false;
    // Lines are short: look within what is there first, and read on only when no end is in it.
    std::size_t count = file.m_end - file.m_begin;
    const char* end = count > 0 ? lineEnd(file.position(), count) : nullptr;
    if (!end) {
        count = file.fill(file.m_blockSize);
        end = lineEnd(file.position(), count);
    }
    // A read that failed cuts the line it was in: that line is no line of the file.
    if (count == 0 || (!end && file.readError() != 0)) {
        // A file that ends early fails on the line after its last one.
        file.countLinePart(false);
        if (file.readError() != 0) {
            ui.showError(messageText(MsgFileUnreadable, file.language).arg(systemErrorText(file.readError())));
        } else {
            showFileError(ui, QStringLiteral("File Read Operation Failed"));
        }
        return false;
    }
    const char* text = file.position();
    const std::size_t length = end ? static_cast<std::size_t>(end - text) : count;
    line.text = text;
    line.length = static_cast<int>(length);
    file.countLinePart(true);
    if (end) {
        file.advance(length + 1);
        if (*end == '\r') {
            if (length + 1 < count) {
                if (end[1] == '\n')
                    file.advance(1);
            } else {
                file.m_afterReturn = true;
            }
        }
    } else {
        file.advance(length);
    }
    return true;
}

bool parseHexField(const RecordLine& line, int column, int digits, std::uint32_t& value, UserInterface& ui)
{
    std::uint32_t result = 0;
    for (int i = 0; i < digits; ++i) {
        const int digit = hextext::digitValue(line.at(column + i));
        if (digit < 0) {
            showFileError(ui, QStringLiteral("Illegal Char in File"));
            return false;
        }
        result = result * 16 + static_cast<std::uint32_t>(digit);
    }
    value = result;
    return true;
}

void formatHexField(std::uint32_t value, int digits, char* destination)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i) {
        destination[i] = Digits[value & 15];
        value >>= 4;
    }
}

void showFileError(UserInterface& ui, const QString& text)
{
    ui.showError(text);
}

QString cannotCreateText(const QString& fileName, int error)
{
    const QString text = QStringLiteral("Cannot create file %1").arg(fileName);
    return error != 0 ? text + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error)) : text;
}

} // namespace kestrum

#pragma once

// Helpers of the buffer tests: a folder per test, files written and read back whole, and images
// that look like firmware (random bytes with stretches of 0xFF).

#include "base/ReplacementFile.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace kestrum::test {

class TempFolder
{
public:
    TempFolder() { EXPECT_TRUE(m_dir.isValid()); }
    [[nodiscard]] QString path(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

/// Random bytes in runs of 1 to maxRun, every other run (by chance) all 0xFF, so that the writers
/// leave records out and the readers must rely on the caller's 0xFF.
inline std::vector<std::uint8_t> firmwareLikeImage(std::size_t size, std::uint32_t seed, std::size_t maxRun = 300)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> image(size);
    std::size_t at = 0;
    while (at < size) {
        const std::size_t run = std::min<std::size_t>(size - at, 1 + random() % maxRun);
        const bool erased = random() % 2 == 0;
        for (std::size_t i = 0; i < run; ++i)
            image[at + i] = erased ? 0xFF : static_cast<std::uint8_t>(random());
        at += run;
    }
    return image;
}

/// A buffer filled with 0xFF, as Open leaves it.
inline std::vector<std::uint8_t> erasedBuffer(std::size_t size)
{
    return std::vector<std::uint8_t>(size, 0xFF);
}

/// What a record reader did with a file: its result, the boxes it showed and the buffer.
struct ReadResult
{
    qint32 extent = -1;
    QStringList errors;
    std::vector<std::uint8_t> buffer;
};

using RecordReader = qint32 (*)(const QString&, std::uint8_t*, std::uint32_t, UserInterface&);
using RecordWriter = WriteResult (*)(const QString&, const std::uint8_t*, std::uint32_t, UserInterface&, int*);

/// Reads record text from a file into a buffer prefilled with 0xCC (neither 0x00 nor 0xFF, so
/// that every byte a record stores is visible).
inline ReadResult readRecords(RecordReader reader, const char* fileName, const QByteArray& text, std::uint32_t maxSize)
{
    TempFolder folder;
    const QString path = folder.path(QString::fromLatin1(fileName));
    writeFile(path, text);
    ScriptedUserInterface ui;
    ReadResult r;
    r.buffer.assign(maxSize, 0xCC);
    r.extent = reader(path, r.buffer.data(), maxSize, ui);
    r.errors = ui.errors;
    return r;
}

/// The text a record writer makes of the bytes; the write must succeed without a box.
inline QByteArray writeRecords(RecordWriter writer, const char* fileName, const std::vector<std::uint8_t>& bytes)
{
    TempFolder folder;
    const QString path = folder.path(QString::fromLatin1(fileName));
    ScriptedUserInterface ui;
    EXPECT_EQ(writer(path, bytes.data(), static_cast<std::uint32_t>(bytes.size()), ui, nullptr), WriteResult::Written);
    EXPECT_TRUE(ui.errors.isEmpty());
    return readFile(path);
}

/// An Intel HEX data record of `count` bytes (0x10, 0x11, ...) at `offset`, without a line end.
inline QByteArray intelHexRecord(int count, std::uint32_t offset)
{
    QByteArray bytes;
    bytes.append(char(count)).append(char(offset >> 8)).append(char(offset)).append('\0');
    for (int i = 0; i < count; ++i)
        bytes.append(char(0x10 + i));
    std::uint32_t sum = 0;
    for (char b : bytes)
        sum += std::uint8_t(b);
    bytes.append(char(0x100 - (sum & 0xFF)));
    return ':' + bytes.toHex().toUpper();
}

/// An S-record of type `type` ('0' to '3') carrying `count` bytes (0x10, 0x11, ...) after an
/// address of `width` bytes, without a line end.
inline QByteArray sRecord(char type, int width, int count, std::uint32_t address)
{
    QByteArray bytes;
    bytes.append(char(count + width + 1));
    for (int i = width - 1; i >= 0; --i)
        bytes.append(char(address >> (8 * i)));
    for (int i = 0; i < count; ++i)
        bytes.append(char(0x10 + i));
    std::uint32_t sum = 0;
    for (char b : bytes)
        sum += std::uint8_t(b);
    bytes.append(char(0xFF - (sum & 0xFF)));
    return QByteArray("S") + type + bytes.toHex().toUpper();
}

} // namespace kestrum::test

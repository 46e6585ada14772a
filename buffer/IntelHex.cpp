#include "buffer/IntelHex.h"

#include "buffer/HexText.h"

#include <algorithm>
#include <cstring>

namespace kestrum {

namespace {

/// Bytes a data record carries when it is written.
constexpr std::uint32_t WriteRecordSize = 32;

qint32 fail(UserInterface& ui, const char* message)
{
    showFileError(ui, QString::fromLatin1(message));
    return 0;
}

} // namespace

qint32 readIntelHex(const QString& fileName, std::uint8_t* buffer, std::uint32_t maxSize, UserInterface& ui)
{
    RecordFile file;
    if (!file.open(fileName)) {
        showFileError(ui, QStringLiteral("Cannot open file %1").arg(fileName));
        return 0;
    }
    return readIntelHex(file, buffer, maxSize, ui);
}

qint32 readIntelHex(RecordFile& file, std::uint8_t* buffer, std::uint32_t maxSize, UserInterface& ui)
{
    // Bases, addresses and the extent are 64 bits wide: nothing can wrap past the size test.
    std::uint64_t segmentBase = 0;
    std::uint64_t linearBase = 0;
    std::uint64_t extent = 0;
    RecordLine line;

    for (;;) {
        if (!readRecordLine(file, line, ui))
            return fail(ui, "Error reading File");
        if (line.at(0) != ':')
            return fail(ui, "Illegal Line found");

        // Count, offset and type are four bytes of digits from column 1 on. When any of them is
        // missing or no digit, the fields are parsed one by one to fail where the first one does.
        std::uint8_t header[4];
        std::uint32_t sum = 0;
        if (line.length < 9 || hextext::decodePairs(line.text + 1, 4, header, sum) < 4) {
            std::uint32_t field;
            if (parseHexField(line, 1, 2, field, ui) && parseHexField(line, 3, 4, field, ui))
                parseHexField(line, 7, 2, field, ui);
            return 0;
        }
        const std::uint32_t count = header[0];
        const std::uint32_t offset = std::uint32_t {header[1]} << 8 | header[2];
        const std::uint32_t type = header[3];
        std::uint32_t checksum;

        switch (type) {
        case 0x00: {
            const std::uint64_t address = linearBase + segmentBase + offset;
            extent = std::max(extent, address + count);
            if (extent > maxSize)
                return fail(ui, "File exceeds Maximum Size");
            // The digits that the line holds; a field beyond them fails as a bad character.
            const std::uint32_t present = static_cast<std::uint32_t>(std::max(line.length - 9, 0)) / 2;
            const std::size_t stored
                = hextext::decodePairs(line.text + 9, std::min(count, present), buffer + address, sum);
            if (stored < count) {
                std::uint32_t unused;
                parseHexField(line, 9 + 2 * static_cast<int>(stored), 2, unused, ui);
                return 0;
            }
            if (!parseHexByte(line, 9 + 2 * static_cast<int>(count), checksum, ui))
                return 0;
            if (((sum + checksum) & 0xFF) != 0)
                return fail(ui, "Checksum Error type 0");
            break;
        }
        case 0x01:
            if (!parseHexField(line, 9, 2, checksum, ui))
                return 0;
            if (count != 0 || offset != 0 || checksum != 0xFF)
                return fail(ui, "Invalid EOF Record");
            return static_cast<qint32>(extent);
        case 0x02:
        case 0x04: {
            if (count != 2)
                return fail(ui, type == 2 ? "Invalid Record Length for type 2" : "Invalid Record Length for type 4");
            std::uint32_t value;
            if (!parseHexField(line, 9, 4, value, ui) || !parseHexField(line, 13, 2, checksum, ui))
                return 0;
            sum += (value >> 8) + (value & 0xFF) + checksum;
            if ((sum & 0xFF) != 0)
                return fail(ui, type == 2 ? "Checksum Error type 2" : "Checksum Error type 4");
            if (type == 2)
                segmentBase = std::uint64_t {value} * 16;
            else
                linearBase = std::uint64_t {value} * 65536;
            break;
        }
        case 0x03:
        case 0x05:
            // Start addresses mean nothing to a memory image; the rest of the line is not read.
            break;
        default:
            return fail(ui, "Invalid Record type");
        }
    }
}

WriteResult writeIntelHex(
    const QString& fileName, const std::uint8_t* buffer, std::uint32_t length, UserInterface& ui, int* error)
{
    ReplacementFile file(fileName);
    if (!file.create()) {
        showFileError(ui, cannotCreateText(fileName, file.error()));
        return WriteResult::NotCreated;
    }

    std::uint64_t address = 0;
    std::uint64_t base = 0;
    std::uint32_t remaining = length;
    while (remaining != 0 && !file.failed()) {
        if (address - base > 0xFFFF) {
            // Written even when every data record of the new 64 KiB stretch is left out.
            base = address & ~std::uint64_t {0xFFFF};
            const std::uint32_t upper = static_cast<std::uint32_t>(base >> 16);
            char* out = file.reserve(17);
            std::memcpy(out, ":02000004", 9);
            formatHexField(upper, 4, out + 9);
            hextext::putByte(out + 13, 0x100 - ((0x02 + 0x04 + (upper >> 8) + (upper & 0xFF)) & 0xFF));
            out[15] = '\r';
            out[16] = '\n';
            file.advance(17);
        }
        const std::uint32_t n = std::min(remaining, WriteRecordSize);
        if (!hextext::allErased(buffer + address, n)) {
            const std::uint32_t offset = static_cast<std::uint32_t>(address - base);
            char* out = file.reserve(13 + 2 * WriteRecordSize);
            out[0] = ':';
            hextext::putByte(out + 1, n);
            hextext::putByte(out + 3, offset >> 8);
            hextext::putByte(out + 5, offset);
            out[7] = '0';
            out[8] = '0';
            std::uint32_t sum = n + (offset >> 8) + (offset & 0xFF);
            hextext::encodePairs(buffer + address, n, out + 9, sum);
            hextext::putByte(out + 9 + 2 * n, 0x100 - (sum & 0xFF));
            out[11 + 2 * n] = '\r';
            out[12 + 2 * n] = '\n';
            file.advance(13 + 2 * n);
        }
        remaining -= n;
        address += WriteRecordSize;
    }
    file.append(":00000001FF\r\n", 13);
    if (file.commit())
        return WriteResult::Written;
    if (error)
        *error = file.error();
    return WriteResult::NotWritten;
}

} // namespace kestrum

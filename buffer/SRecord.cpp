#include "buffer/SRecord.h"

#include "buffer/HexText.h"

#include <algorithm>
#include <cstring>

namespace kestrum {

namespace {

constexpr std::uint32_t WriteRecordSize = 16;

qint32 fail(UserInterface& ui, const char* message)
{
    showFileError(ui, QString::fromLatin1(message));
    return 0;
}

/// The data records of a file, W address bytes each; records of all 0xFF are left out.
template <int W> void writeDataRecords(ReplacementFile& file, const std::uint8_t* buffer, std::uint32_t length)
{
    std::uint32_t address = 0;
    std::uint32_t remaining = length;
    while (remaining != 0 && !file.failed()) {
        const std::uint32_t n = std::min(remaining, WriteRecordSize);
        if (!hextext::allErased(buffer + address, n)) {
            const std::uint32_t count = n + W + 1;
            char* out = file.reserve(4 + 2 * W + 2 * WriteRecordSize + 4);
            out[0] = 'S';
            out[1] = static_cast<char>('0' + W - 1);
            hextext::putByte(out + 2, count);
            char* digits = out + 4;
            if constexpr (W == 4) {
                hextext::putByte(digits, address >> 24);
                digits += 2;
            }
            if constexpr (W >= 3) {
                hextext::putByte(digits, address >> 16);
                digits += 2;
            }
            hextext::putByte(digits, address >> 8);
            hextext::putByte(digits + 2, address);
            std::uint32_t sum
                = count + (address >> 24) + ((address >> 16) & 0xFF) + ((address >> 8) & 0xFF) + (address & 0xFF);
            char* data = out + 4 + 2 * W;
            hextext::encodePairs(buffer + address, n, data, sum);
            hextext::putByte(data + 2 * n, 0xFF - (sum & 0xFF));
            data[2 * n + 2] = '\r';
            data[2 * n + 3] = '\n';
            file.advance(4 + 2 * W + 2 * n + 4);
        }
        remaining -= n;
        address += WriteRecordSize;
    }
}

} // namespace

qint32 readSRecord(const QString& fileName, std::uint8_t* buffer, std::uint32_t maxSize, UserInterface& ui)
{
    RecordFile file;
    if (!file.open(fileName)) {
        showFileError(ui, QStringLiteral("Cannot open file %1").arg(fileName));
        return 0;
    }
    return readSRecord(file, buffer, maxSize, ui);
}

qint32 readSRecord(RecordFile& file, std::uint8_t* buffer, std::uint32_t maxSize, UserInterface& ui)
{
    std::uint64_t extent = 0;
    RecordLine line;

    for (;;) {
        // A file that ends before its terminator says no more than the line reader does.
        if (!readRecordLine(file, line, ui))
            return 0;
        if (line.at(0) != 'S')
            return fail(ui, "Illegal Line found");

        int width;
        switch (line.at(1)) {
        case '7':
        case '8':
        case '9':
            return static_cast<qint32>(extent);
        case '1':
            width = 2;
            break;
        case '2':
            width = 3;
            break;
        case '3':
            width = 4;
            break;
        default:
            continue; // S0 header, S4 to S6 and anything unknown
        }

        // Count and address are 1 + width bytes of digits from column 2 on. When any of them is
        // missing or no digit, the fields are parsed one by one to fail where the first one does.
        std::uint8_t header[5];
        std::uint32_t sum = 0;
        if (line.length < 4 + 2 * width
            || hextext::decodePairs(line.text + 2, 1 + static_cast<std::size_t>(width), header, sum)
                < 1 + static_cast<std::size_t>(width)) {
            std::uint32_t field;
            if (parseHexField(line, 2, 2, field, ui))
                parseHexField(line, 4, 2 * width, field, ui);
            return 0;
        }
        const std::uint32_t count = header[0];
        std::uint32_t address = 0;
        for (int i = 1; i <= width; ++i)
            address = address << 8 | header[i];
        // A count without room for the address and the checksum leaves no data to place.
        if (count < static_cast<std::uint32_t>(width) + 1)
            return fail(ui, "Illegal Char in File");

        const std::uint32_t n = count - static_cast<std::uint32_t>(width) - 1;
        extent = std::max(extent, std::uint64_t {address} + n);
        if (extent > maxSize)
            return fail(ui, "File exceeds Maximum Size");

        const int dataColumn = 4 + 2 * width;
        const std::uint32_t present = static_cast<std::uint32_t>(std::max(line.length - dataColumn, 0)) / 2;
        const std::size_t stored
            = hextext::decodePairs(line.text + dataColumn, std::min(n, present), buffer + address, sum);
        if (stored < n) {
            std::uint32_t unused;
            parseHexField(line, dataColumn + 2 * static_cast<int>(stored), 2, unused, ui);
            return 0;
        }
        std::uint32_t checksum;
        if (!parseHexByte(line, 2 + 2 * static_cast<int>(count), checksum, ui))
            return 0;
        if (((sum + checksum) & 0xFF) != 0xFF)
            return fail(ui, "Checksum Error");
    }
}

WriteResult writeSRecord(
    const QString& fileName, const std::uint8_t* buffer, std::uint32_t length, UserInterface& ui, int* error)
{
    ReplacementFile file(fileName);
    if (!file.create()) {
        showFileError(ui, cannotCreateText(fileName, file.error()));
        return WriteResult::NotCreated;
    }

    // One record type for the whole file, chosen by the length, not by the highest address.
    const int width = length <= 0xFFFF ? 2 : length <= 0xFFFFFF ? 3 : 4;
    file.append("S00600004844521B\r\n", 18);

    // Each type ends with its own terminator, always at address 0.
    switch (width) {
    case 2:
        writeDataRecords<2>(file, buffer, length);
        file.append("S9030000FC\r\n", 12);
        break;
    case 3:
        writeDataRecords<3>(file, buffer, length);
        file.append("S804000000FB\r\n", 14);
        break;
    default:
        writeDataRecords<4>(file, buffer, length);
        file.append("S70500000000FA\r\n", 16);
        break;
    }
    if (file.commit())
        return WriteResult::Written;
    if (error)
        *error = file.error();
    return WriteResult::NotWritten;
}

} // namespace kestrum

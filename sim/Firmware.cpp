#include "sim/Firmware.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

namespace kestrum::sim {

namespace {

// Opcodes and groups as the programmer knows them.
constexpr std::uint8_t OpErase = 2;
constexpr std::uint8_t OpTransfer = 5;
constexpr std::uint8_t OpSetup = 7;
constexpr std::uint8_t OpEnd = 8;
constexpr std::uint8_t OpIdentify = 9;
constexpr std::uint8_t OpStatus = 10;
constexpr std::uint8_t OpRaw = 11;

constexpr std::uint16_t WholeChipErase = 0x8000;
constexpr std::uint64_t ThreeByteSpace = 0x1000000;

constexpr int ErrTimedOut = -110;
constexpr int ErrInvalid = -22;

// Identify replies: what answers in the socket.
constexpr std::uint8_t AnswerNothing = 0;
constexpr std::uint8_t AnswerSpiFlash = 1;
constexpr std::uint8_t AnswerI2c = 2;
constexpr std::uint8_t AnswerMicrowire = 3;

int classOfKind(int kind)
{
    switch (kind) {
    case KSIM_CHIP_SPI_FLASH:
        return 0;
    case KSIM_CHIP_I2C_EEPROM:
        return 1;
    case KSIM_CHIP_MW_EEPROM:
        return 2;
    case KSIM_CHIP_SPI_EEPROM:
        return 3;
    default:
        return -1;
    }
}

} // namespace

Firmware::Firmware(bool deviceProduct)
    : m_readEndpoint(deviceProduct ? 0x85 : 0x82)
    , m_writeEndpoint(deviceProduct ? 0x05 : 0x01)
    , m_commandEndpoint(deviceProduct ? 0x04 : 0x02)
    , m_bigEndian(!deviceProduct)
{
}

void Firmware::insertChip(int kind, std::uint32_t size, std::uint32_t jedecId)
{
    m_chip = Chip {};
    m_chip.kind = kind;
    m_chip.jedecId = jedecId;
    if (kind != KSIM_CHIP_NONE)
        m_chip.cells.assign(size, 0xFF);
}

void Firmware::setChipFile(const std::string& path)
{
    m_chip.file = path;
    std::ifstream in(path, std::ios::binary);
    if (!in || m_chip.cells.empty())
        return;
    in.read(reinterpret_cast<char*>(m_chip.cells.data()), static_cast<std::streamsize>(m_chip.cells.size()));
}

void Firmware::saveChip()
{
    if (m_chip.file.empty() || !m_chip.dirty)
        return;
    std::ofstream out(m_chip.file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(m_chip.cells.data()), static_cast<std::streamsize>(m_chip.cells.size()));
    if (out)
        m_chip.dirty = false;
}

void Firmware::fillPattern()
{
    const size_t n = std::min<size_t>(m_chip.cells.size(), 0x10000);
    static const char banner[] = "Kestrum simulated programmer - sample chip content.";
    for (size_t i = 0; i < n; ++i)
        m_chip.cells[i] = static_cast<std::uint8_t>(i);
    std::memcpy(m_chip.cells.data(), banner, std::min(n, sizeof banner - 1));
}

ksim_state Firmware::state() const
{
    ksim_state s {};
    s.setup_valid = m_setupValid;
    s.chip_class = m_class;
    s.subtype = m_subtype;
    s.page_size = m_page;
    s.delay = m_delay;
    s.size = m_size;
    s.chip_id = m_chipId;
    s.clock = m_clock;
    s.voltage = m_voltage;
    s.four_byte_mode = m_fourByte;
    s.jobs_ended = m_jobsEnded;
    s.protocol_errors = m_protocolErrors;
    s.erase_commands = m_eraseCommands;
    s.status_polls = m_statusPolls;
    s.erase_busy = eraseBusy();
    s.cursor = static_cast<std::uint32_t>(m_cursor);
    s.bytes_read = m_bytesRead;
    s.bytes_written = m_bytesWritten;
    return s;
}

void Firmware::protocolError(const char* what)
{
    ++m_protocolErrors;
    std::fprintf(stderr, "ksim: protocol error: %s\n", what);
}

void Firmware::pause(std::chrono::microseconds time) const
{
    if (m_realistic && time.count() > 0)
        std::this_thread::sleep_for(time);
}

std::uint16_t Firmware::get16(const std::uint8_t* block, int offset) const
{
    const std::uint16_t a = block[offset];
    const std::uint16_t b = block[offset + 1];
    return m_bigEndian ? static_cast<std::uint16_t>(a << 8 | b) : static_cast<std::uint16_t>(b << 8 | a);
}

std::uint32_t Firmware::get32(const std::uint8_t* block, int offset) const
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t byte = block[offset + (m_bigEndian ? i : 3 - i)];
        value = value << 8 | byte;
    }
    return value;
}

bool Firmware::chipAnswers() const
{
    return m_setupValid && m_chip.kind != KSIM_CHIP_NONE && !m_chip.cells.empty()
        && classOfKind(m_chip.kind) == m_class;
}

std::uint64_t Firmware::cellOf(std::uint64_t address) const
{
    if (m_chip.kind == KSIM_CHIP_SPI_FLASH && !m_fourByte)
        address %= ThreeByteSpace;
    return address % m_chip.cells.size();
}

std::uint64_t Firmware::runFrom(std::uint64_t address) const
{
    std::uint64_t run = m_chip.cells.size() - cellOf(address);
    if (m_chip.kind == KSIM_CHIP_SPI_FLASH && !m_fourByte)
        run = std::min(run, ThreeByteSpace - address % ThreeByteSpace);
    return run;
}

void Firmware::acknowledge(std::uint8_t opcode)
{
    std::array<std::uint8_t, 64> bytes {};
    bytes[1] = opcode;
    reply(bytes);
}

int Firmware::write(int endpoint, const std::uint8_t* data, int size, bool* isCommand)
{
    *isCommand = endpoint == m_commandEndpoint;
    if (*isCommand) {
        pause(std::chrono::microseconds(200));
        if (size != 64)
            protocolError("a command block that is not 64 bytes");
        else
            command(data);
        return size;
    }
    if (endpoint != m_writeEndpoint)
        return ErrInvalid;
    if (m_stream == Stream::Started) {
        // A write stream: the acknowledgement of the transfer start is never read.
        m_reply.reset();
        m_stream = Stream::Writing;
    }
    if (m_stream != Stream::Writing) {
        protocolError("data written outside a write stream");
        return size;
    }
    writeData(data, size);
    return size;
}

int Firmware::read(int endpoint, std::uint8_t* data, int size, bool* isReply)
{
    *isReply = false;
    if (endpoint != m_readEndpoint)
        return ErrInvalid;
    if (m_reply) {
        *isReply = true;
        const int n = std::min(size, 64);
        std::memcpy(data, m_reply->data(), static_cast<size_t>(n));
        m_reply.reset();
        pause(std::chrono::microseconds(200));
        return n;
    }
    if (m_stream == Stream::Started)
        m_stream = Stream::Reading;
    if (m_stream != Stream::Reading) {
        protocolError("a read with nothing to send");
        pause(std::chrono::milliseconds(200));
        return ErrTimedOut;
    }
    readData(data, size);
    return size;
}

void Firmware::command(const std::uint8_t* block)
{
    const std::uint8_t group = block[0];
    const std::uint8_t opcode = block[1];
    const bool controlGroup = opcode == OpErase || opcode == OpEnd;
    if (group != (controlGroup ? 1 : 0)) {
        protocolError("a command in the wrong group");
        return;
    }
    // A new command drops an answer nobody read.
    m_reply.reset();
    switch (opcode) {
    case OpSetup:
        setup(block);
        acknowledge(opcode);
        break;
    case OpIdentify: {
        setup(block);
        std::array<std::uint8_t, 64> answer {};
        switch (m_chip.kind) {
        case KSIM_CHIP_SPI_FLASH:
            answer[0] = AnswerSpiFlash;
            answer[1] = static_cast<std::uint8_t>(m_chip.jedecId >> 16);
            answer[2] = static_cast<std::uint8_t>(m_chip.jedecId >> 8);
            answer[3] = static_cast<std::uint8_t>(m_chip.jedecId);
            break;
        case KSIM_CHIP_I2C_EEPROM:
            answer[0] = AnswerI2c;
            break;
        case KSIM_CHIP_MW_EEPROM:
            answer[0] = AnswerMicrowire;
            break;
        default:
            // A 25-series EEPROM has no JEDEC identification: the socket looks empty.
            answer[0] = AnswerNothing;
            break;
        }
        if (m_chip.identifyKind >= 0)
            answer[0] = static_cast<std::uint8_t>(m_chip.identifyKind);
        reply(answer);
        break;
    }
    case OpErase:
        if (!m_setupValid) {
            protocolError("an erase before the set-up");
            return;
        }
        ++m_eraseCommands;
        erase(get16(block, 26));
        break;
    case OpStatus: {
        ++m_statusPolls;
        std::array<std::uint8_t, 64> answer {};
        answer[0] = eraseBusy() ? 1 : 0;
        answer[1] = OpStatus;
        if (m_busyPolls > 0)
            --m_busyPolls;
        reply(answer);
        break;
    }
    case OpTransfer:
        if (!m_setupValid) {
            protocolError("a transfer before the set-up");
            return;
        }
        if (eraseBusy())
            protocolError("a transfer while the chip is busy erasing");
        m_cursor = get32(block, 8);
        m_stream = Stream::Started;
        acknowledge(opcode);
        break;
    case OpRaw: {
        const int count = block[2] == 3 ? block[3] : 0;
        std::array<std::uint8_t, 64> answer {};
        answer[1] = opcode;
        if (count == 1 && block[4] == 0xB7) {
            if (m_chip.kind == KSIM_CHIP_SPI_FLASH && m_class == 0)
                m_fourByte = true;
        } else if (count == 4 && block[4] == 0x9F && m_chip.kind == KSIM_CHIP_SPI_FLASH) {
            answer[0] = 0xFF;
            answer[1] = static_cast<std::uint8_t>(m_chip.jedecId >> 16);
            answer[2] = static_cast<std::uint8_t>(m_chip.jedecId >> 8);
            answer[3] = static_cast<std::uint8_t>(m_chip.jedecId);
        }
        reply(answer);
        break;
    }
    case OpEnd:
        endJob();
        break;
    default:
        protocolError("an unknown opcode");
        break;
    }
}

void Firmware::setup(const std::uint8_t* block)
{
    m_setupValid = true;
    m_class = block[2];
    m_subtype = block[3];
    m_page = get16(block, 4);
    m_delay = get16(block, 6);
    m_size = get32(block, 8);
    m_chipId = get32(block, 12);
    m_clock = block[16];
    m_voltage = block[28];
    m_fourByte = false;
    m_stream = Stream::None;
    m_lastEraseArgument = -1;
    m_eraseBank = 0;
}

void Firmware::endJob()
{
    ++m_jobsEnded;
    m_setupValid = false;
    m_fourByte = false;
    m_stream = Stream::None;
    m_reply.reset();
    saveChip();
}

bool Firmware::eraseBusy() const
{
    return m_busyPolls != 0 || std::chrono::steady_clock::now() < m_busyUntil;
}

void Firmware::powerCycle()
{
    m_setupValid = false;
    m_fourByte = false;
    m_stream = Stream::None;
    m_reply.reset();
    m_busyPolls = 0;
    m_busyUntil = {};
    saveChip();
}

void Firmware::erase(std::uint16_t argument)
{
    m_stream = Stream::None;
    const bool answers = chipAnswers();
    switch (m_class) {
    case 0: {
        if (argument != WholeChipErase) {
            protocolError("a flash erase other than the whole chip");
            return;
        }
        if (m_erasePolls < 0) {
            m_busyPolls = -1; // the chip never finishes and keeps its content
            return;
        }
        if (answers) {
            std::fill(m_chip.cells.begin(), m_chip.cells.end(), 0xFF);
            m_chip.dirty = true;
        }
        if (m_realistic) {
            const auto mib = static_cast<long>(m_chip.cells.size() >> 20);
            m_busyUntil
                = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::min(6000L, 500 + 500 * mib));
        } else {
            m_busyPolls = m_erasePolls;
        }
        return;
    }
    case 1:
    case 3: {
        if (m_page <= 0) {
            protocolError("a page erase without a page size");
            return;
        }
        // The argument carries the low 16 bits of the page offset; offsets come in rising order,
        // so a smaller argument means the next 64 KiB.
        if (m_lastEraseArgument >= 0 && argument <= m_lastEraseArgument)
            ++m_eraseBank;
        m_lastEraseArgument = argument;
        const std::uint64_t offset = (static_cast<std::uint64_t>(m_eraseBank) << 16) + argument;
        if (answers && offset < m_chip.cells.size()) {
            const std::uint64_t end
                = std::min<std::uint64_t>(offset + static_cast<unsigned>(m_page), m_chip.cells.size());
            std::fill(m_chip.cells.begin() + static_cast<std::ptrdiff_t>(offset),
                m_chip.cells.begin() + static_cast<std::ptrdiff_t>(end), 0xFF);
            m_chip.dirty = true;
        }
        pause(std::chrono::milliseconds(5));
        return;
    }
    case 2:
        if (answers) {
            std::fill(m_chip.cells.begin(), m_chip.cells.end(), 0xFF);
            m_chip.dirty = true;
        }
        pause(std::chrono::milliseconds(10));
        return;
    default:
        protocolError("an erase for an unknown chip class");
        return;
    }
}

void Firmware::readData(std::uint8_t* data, int size)
{
    std::uint64_t address = m_cursor;
    std::uint64_t left = static_cast<std::uint64_t>(size);
    const bool answers = chipAnswers();
    while (left > 0) {
        if (!answers || address >= m_size) {
            std::memset(data, 0xFF, left);
            address += left;
            break;
        }
        const std::uint64_t run = std::min({left, m_size - address, runFrom(address)});
        std::memcpy(data, m_chip.cells.data() + cellOf(address), run);
        data += run;
        address += run;
        left -= run;
    }
    m_cursor += static_cast<std::uint64_t>(size);
    m_bytesRead += static_cast<std::uint32_t>(size);
    // About 1.5 MB/s on the wire.
    pause(std::chrono::microseconds(size * 2 / 3));
}

void Firmware::writeData(const std::uint8_t* data, int size)
{
    std::uint64_t address = m_cursor;
    std::uint64_t left = static_cast<std::uint64_t>(size);
    if (chipAnswers()) {
        while (left > 0 && address < m_size) {
            const std::uint64_t run = std::min({left, m_size - address, runFrom(address)});
            std::uint8_t* cells = m_chip.cells.data() + cellOf(address);
            if (m_chip.kind == KSIM_CHIP_SPI_FLASH) {
                // Programming a NOR cell can only clear bits. Eight cells at a time.
                std::uint64_t i = 0;
                for (; i + 8 <= run; i += 8) {
                    std::uint64_t cell;
                    std::uint64_t in;
                    std::memcpy(&cell, cells + i, 8);
                    std::memcpy(&in, data + i, 8);
                    cell &= in;
                    std::memcpy(cells + i, &cell, 8);
                }
                for (; i < run; ++i)
                    cells[i] &= data[i];
            } else {
                std::memcpy(cells, data, run);
            }
            data += run;
            address += run;
            left -= run;
        }
        m_chip.dirty = true;
    }
    m_cursor += static_cast<std::uint64_t>(size);
    m_bytesWritten += static_cast<std::uint32_t>(size);
    if (m_realistic) {
        // Page programming: about 0.7 ms a flash page, 5 ms an EEPROM page.
        const int page = std::max(m_page, 1);
        const int pages = std::max(1, size / page);
        pause(m_chip.kind == KSIM_CHIP_SPI_FLASH ? std::chrono::microseconds(700 * std::max(1, size / 256))
                                                 : std::chrono::microseconds(5000 * pages));
    }
}

} // namespace kestrum::sim

#pragma once

// A chip programmer wired as in the program: ChipProgrammer over the real UsbLink, whose run-time
// binding finds the simulated programmer on the loader path. Shared by the protocol tests.

#include "ops/ChipProgrammer.h"
#include "tests/ops/RecordingJobView.h"
#include "tests/sim/SimControl.h"
#include "tests/support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

#include <QString>

#include <cstring>
#include <string>
#include <vector>

namespace kestrum::test {

/// The endpoint set under test, by the product string the programmer reports.
inline const char* ProductBigEndian = "WinUSBComm";
inline const char* ProductLittleEndian = "WinUSBComm Device";

class SimProgrammerFixture
{
public:
    /// Builds a world with one programmer reporting that product and an empty socket.
    void setUpWorld(const char* product)
    {
        ASSERT_TRUE(sim.ok()) << sim.why();
        sim.reset();
        programmerId = sim.addProgrammer(sim.addBus(), product);
        ASSERT_GT(programmerId, 0);
        reporter.setLanguage(2);
        usb.setSleepFunction([this](int ms) { sleeps.push_back(ms); });
        programmer.setPumpInterval(0);
    }

    static ChipRecord record(quint8 chipClass, quint32 size, quint16 page, quint32 id = 0, quint16 delay = 100)
    {
        ChipRecord r {};
        r.chipClass = chipClass;
        r.flashSize = size;
        r.flashPage = page;
        r.chipId = id;
        r.delay = delay;
        return r;
    }

    void insert(int kind, quint32 size, quint32 jedecId = 0)
    {
        ASSERT_EQ(sim.insertChip(programmerId, kind, size, jedecId), 0);
    }

    /// The chip's cells.
    quint8* cells(quint32* size = nullptr) { return sim.chipBytes(programmerId, size); }

    /// Fills the chip with a pattern that is neither 0x00 nor 0xFF anywhere.
    void fillChip(quint8 seed)
    {
        quint32 size = 0;
        quint8* c = cells(&size);
        for (quint32 i = 0; i < size; ++i)
            c[i] = patternByte(i, seed);
    }

    static quint8 patternByte(quint32 i, quint8 seed)
    {
        const quint8 b = static_cast<quint8>((i * 131u + (i >> 8) * 7u + seed) & 0xFF);
        return b == 0xFF || b == 0x00 ? 0xCC : b;
    }

    /// Puts a pattern into DataBuffer and sets the used length.
    void fillBuffer(quint32 length, quint8 seed)
    {
        for (quint32 i = 0; i < length; ++i)
            buffer.data()[i] = patternByte(i, seed);
        buffer.usedLength = static_cast<qint32>(length);
    }

    /// Bulk transfers since the last clear, as "W<ep>:<length>" / "R<ep>:<length>" (hex endpoint).
    std::vector<std::string> traffic() const
    {
        std::vector<std::string> t;
        char text[32];
        for (const SimCall& c : sim.transfers()) {
            std::snprintf(text, sizeof text, "%c%02X:%d", c.call.kind == KSIM_CALL_BULK_WRITE ? 'W' : 'R',
                c.call.endpoint, c.call.length);
            t.emplace_back(text);
        }
        return t;
    }

    /// The command blocks written since the last clear.
    std::vector<std::vector<quint8>> commands() const
    {
        std::vector<std::vector<quint8>> blocks;
        for (const SimCall& c : sim.calls(KSIM_CALL_BULK_WRITE)) {
            if (c.call.endpoint == usb.commandEndpoint())
                blocks.push_back(c.bytes);
        }
        return blocks;
    }

    /// Opcodes of the command blocks written since the last clear.
    std::vector<int> opcodes() const
    {
        std::vector<int> ops;
        for (const auto& block : commands())
            ops.push_back(block.size() > 1 ? block[1] : -1);
        return ops;
    }

    /// A zero block with bytes placed at offsets.
    static std::vector<quint8> block(std::initializer_list<std::pair<int, std::initializer_list<int>>> runs)
    {
        std::vector<quint8> b(64, 0);
        for (const auto& [offset, values] : runs) {
            int i = offset;
            for (int v : values)
                b[static_cast<size_t>(i++)] = static_cast<quint8>(v);
        }
        return b;
    }

    [[nodiscard]] int protocolErrors() const { return sim.state(programmerId).protocol_errors; }

    SimControl& sim = SimControl::get();
    int programmerId = 0;
    ScriptedUserInterface ui;
    Reporter reporter {ui};
    DataBuffer buffer;
    RecordingJobView view;
    UsbLink usb;
    ChipProgrammer programmer {usb, reporter, buffer, view};
    std::vector<int> sleeps;
};

/// The fixture for plain tests on the "WinUSBComm" (big-endian) programmer.
class SimProgrammerTest : public ::testing::Test, public SimProgrammerFixture
{
protected:
    void SetUp() override { setUpWorld(ProductBigEndian); }
};

/// The fixture for tests that run against both endpoint sets.
class BothProgrammersTest : public ::testing::TestWithParam<const char*>, public SimProgrammerFixture
{
protected:
    void SetUp() override { setUpWorld(GetParam()); }
    [[nodiscard]] bool bigEndian() const { return std::strcmp(GetParam(), ProductBigEndian) == 0; }
};

inline std::string productName(const ::testing::TestParamInfo<const char*>& info)
{
    return std::strcmp(info.param, ProductBigEndian) == 0 ? "BigEndian" : "LittleEndian";
}

} // namespace kestrum::test

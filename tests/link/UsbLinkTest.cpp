// The transport against the simulated USB world, reached through the program's own run-time
// binding of "libusb-0.1.so.4".
#include "link/UsbLink.h"
#include "tests/sim/SimControl.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

using namespace kestrum;
using kestrum::test::SimCall;
using kestrum::test::SimControl;

namespace {

constexpr int Vid = UsbLink::ProgrammerVendorId;
constexpr int Pid = UsbLink::ProgrammerProductId;

class UsbLinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        KESTRUM_REQUIRE_SIM(sim);
        sim.reset();
        usb.setSleepFunction([this](int ms) { pauses.push_back(ms); });
    }

    void TearDown() override { usb.close(); }

    /// Ids of the devices opened, and of those closed, in order.
    std::vector<int> devicesWith(int kind, bool successfulOnly)
    {
        std::vector<int> ids;
        for (const SimCall& c : sim.calls(kind)) {
            if (!successfulOnly || c.call.result == 1)
                ids.push_back(c.call.device);
        }
        return ids;
    }

    /// A handle to a device whose strings the test sets: opened through a real search first.
    usb_dev_handle* openProgrammerWithStrings(int* device)
    {
        const int bus = sim.addBus();
        *device = sim.addProgrammer(bus, "WinUSBComm");
        EXPECT_EQ(usb.open(Vid, Pid), 1);
        return usb.deviceHandle();
    }

    SimControl& sim = SimControl::get();
    UsbLink usb;
    std::vector<int> pauses;
};

TEST_F(UsbLinkTest, SearchSkipsEveryWrongDeviceClosesItAndGoesOnToLaterBuses)
{
    const int bus1 = sim.addBus();
    const int bus2 = sim.addBus();
    const int bus3 = sim.addBus();
    const int otherVendor = sim.addDevice(bus1, 0x1FC9, Pid, "VAZEziz", "WinUSBComm", 0);
    const int otherProduct = sim.addDevice(bus1, Vid, 0x310C, "VAZEziz", "WinUSBComm", 0);
    const int wrongMaker = sim.addDevice(bus1, Vid, Pid, "VAZEzi", "WinUSBComm", 0);
    const int makerCase = sim.addDevice(bus1, Vid, Pid, "vazeziz", "WinUSBComm", 0);
    const int shortDevice = sim.addDevice(bus2, Vid, Pid, "VAZEziz", "WinUSBComm Devic", 0);
    const int shortPlain = sim.addDevice(bus2, Vid, Pid, "VAZEziz", "WinUSBCom", 0);
    const int longer = sim.addDevice(bus2, Vid, Pid, "VAZEziz", "WinUSBComm Device 2", 0);
    const int openFails = sim.addDevice(bus2, Vid, Pid, "VAZEziz", "WinUSBComm", 0);
    const int claimFails = sim.addDevice(bus3, Vid, Pid, "VAZEziz", "WinUSBComm", 0);
    const int makerFails = sim.addDevice(bus3, Vid, Pid, "VAZEziz", "WinUSBComm", 0);
    const int productFails = sim.addDevice(bus3, Vid, Pid, "VAZEziz", "WinUSBComm", 0);
    const int good = sim.addDevice(bus3, Vid, Pid, "VAZEziz", "WinUSBComm Device", 3);
    const int after = sim.addDevice(bus3, Vid, Pid, "VAZEziz", "WinUSBComm", 0);
    sim.setDeviceFault(openFails, KSIM_OPEN_FAILS, 1);
    sim.setDeviceFault(claimFails, KSIM_CLAIM_FAILS, 1);
    sim.setDeviceFault(makerFails, KSIM_STRING_FAILS, 1);
    sim.setDeviceFault(productFails, KSIM_STRING_FAILS, 2);

    ASSERT_EQ(usb.open(Vid, Pid), 1);
    EXPECT_NE(usb.deviceHandle(), nullptr);
    EXPECT_EQ(usb.interfaceNumber(), 3);
    EXPECT_EQ(usb.readEndpoint(), 0x85);
    EXPECT_EQ(usb.writeEndpoint(), 0x05);
    EXPECT_EQ(usb.commandEndpoint(), 0x04);

    // Every device with the right ids was tried in bus and list order, up to the good one.
    const std::vector<int> tried = {
        wrongMaker, makerCase, shortDevice, shortPlain, longer, openFails, claimFails, makerFails, productFails, good};
    EXPECT_EQ(devicesWith(KSIM_CALL_OPEN, false), tried);
    // Each one opened and rejected was closed again; only the good one stays open.
    const std::vector<int> rejected
        = {wrongMaker, makerCase, shortDevice, shortPlain, longer, claimFails, makerFails, productFails};
    EXPECT_EQ(devicesWith(KSIM_CALL_CLOSE, false), rejected);
    EXPECT_EQ(sim.openHandles(), 1);
    // Only the device that failed its claim and the good one got as far as a claim.
    const std::vector<SimCall> claims = sim.calls(KSIM_CALL_CLAIM);
    ASSERT_EQ(claims.size(), 2u);
    EXPECT_EQ(claims[0].call.device, claimFails);
    EXPECT_EQ(claims[1].call.device, good);
    EXPECT_EQ(claims[1].call.endpoint, 3); // the interface number
    (void)otherVendor;
    (void)otherProduct;
    (void)after;
}

TEST_F(UsbLinkTest, ProductStringChoosesTheEndpointSet)
{
    struct Case
    {
        const char* product;
        int read, write, command;
    };
    for (const Case& c : {Case {"WinUSBComm Device", 0x85, 0x05, 0x04}, Case {"WinUSBComm", 0x82, 0x01, 0x02}}) {
        sim.reset();
        sim.addDevice(sim.addBus(), Vid, Pid, "VAZEziz", c.product, 1);
        ASSERT_EQ(usb.open(Vid, Pid), 1) << c.product;
        EXPECT_EQ(usb.readEndpoint(), c.read) << c.product;
        EXPECT_EQ(usb.writeEndpoint(), c.write) << c.product;
        EXPECT_EQ(usb.commandEndpoint(), c.command) << c.product;
        EXPECT_EQ(usb.interfaceNumber(), 1);
        usb.close();
    }
}

TEST_F(UsbLinkTest, NoMatchingDeviceLeavesNothingOpenAndKeepsTheLastEndpointSet)
{
    const int bus = sim.addBus();
    sim.addDevice(bus, Vid, Pid, "VAZEziz", "WinUSBComm Device", 0);
    ASSERT_EQ(usb.open(Vid, Pid), 1);
    usb.close();

    sim.reset();
    const int b = sim.addBus();
    sim.addDevice(b, Vid, Pid, "Other", "WinUSBComm", 0);
    const int unplugged = sim.addProgrammer(b, "WinUSBComm");
    sim.unplug(unplugged);
    EXPECT_EQ(usb.open(Vid, Pid), 0);
    EXPECT_EQ(usb.deviceHandle(), nullptr);
    EXPECT_EQ(sim.openHandles(), 0);
    // An unplugged device is not on the bus list at all.
    for (const SimCall& c : sim.calls(KSIM_CALL_OPEN))
        EXPECT_NE(c.call.device, unplugged);
    EXPECT_EQ(usb.readEndpoint(), 0x85);
}

TEST_F(UsbLinkTest, AProgrammerThatIsThereButCannotBeOpenedSaysWhy)
{
    using Failure = UsbLink::OpenFailure;
    const int bus = sim.addBus();
    EXPECT_EQ(usb.open(Vid, Pid), 0);
    EXPECT_EQ(usb.openProblem().failure, Failure::Absent);

    const int programmer = sim.addProgrammer(bus, "WinUSBComm");
    struct Case
    {
        int fault;
        int arg;
        Failure failure;
    };
    // libusb 0.1 reports a refused open in errno and every other failure as a negated errno; a
    // device node opened read-only refuses every request with EPERM.
    for (const Case& c :
        {Case {KSIM_OPEN_FAILS, 1, Failure::NoAccess}, Case {KSIM_OPEN_FAILS, EPERM, Failure::NoAccess},
            Case {KSIM_READ_ONLY, 1, Failure::NoAccess}, Case {KSIM_CLAIM_FAILS, 1, Failure::Busy},
            Case {KSIM_CLAIM_FAILS, EACCES, Failure::NoAccess}, Case {KSIM_OPEN_FAILS, EIO, Failure::Other}}) {
        SCOPED_TRACE(testing::Message() << c.fault << " " << c.arg);
        sim.setDeviceFault(programmer, c.fault, c.arg);
        EXPECT_EQ(usb.open(Vid, Pid), 0);
        EXPECT_EQ(usb.openProblem().failure, c.failure);
        EXPECT_EQ(sim.openHandles(), 0);
        sim.setDeviceFault(programmer, c.fault, 0);
    }

    // Another program holds the interface.
    UsbLink other;
    ASSERT_EQ(other.open(Vid, Pid), 1);
    EXPECT_EQ(usb.open(Vid, Pid), 0);
    EXPECT_EQ(usb.openProblem().failure, Failure::Busy);
    other.close();
    EXPECT_EQ(usb.open(Vid, Pid), 1);
    EXPECT_EQ(usb.openProblem().failure, Failure::None);
    usb.close();

    sim.unplug(programmer);
    const int bootloader = sim.addDevice(bus, Vid, Pid, "VAZEziz", "Bootloader", 0);
    EXPECT_EQ(usb.open(Vid, Pid), 0);
    EXPECT_EQ(usb.openProblem(), (UsbLink::OpenProblem {Failure::WrongStrings, "Bootloader"}));

    // Two programmers that both fail, on buses searched one after the other: the first one's
    // problem is told, not overwritten by the second one's.
    sim.unplug(bootloader);
    const int first = sim.addProgrammer(sim.addBus(), "WinUSBComm");
    const int second = sim.addProgrammer(sim.addBus(), "WinUSBComm");
    sim.setDeviceFault(first, KSIM_READ_ONLY, 1);
    sim.setDeviceFault(second, KSIM_CLAIM_FAILS, 1);
    EXPECT_EQ(usb.open(Vid, Pid), 0);
    EXPECT_EQ(usb.openProblem().failure, Failure::NoAccess);
    EXPECT_EQ(sim.openHandles(), 0);
}

TEST_F(UsbLinkTest, ResetWorldListsNoBusUntilTheNextSearch)
{
    sim.addProgrammer(sim.addBus(), "WinUSBComm");
    ASSERT_EQ(usb.open(Vid, Pid), 1);
    usb.close();
    ASSERT_NE(usb.binding().usb_get_busses(), nullptr);
    // The old buses are freed with the old world; the list head must not point at them.
    sim.reset();
    EXPECT_EQ(usb.binding().usb_get_busses(), nullptr);
    EXPECT_EQ(usb.open(Vid, Pid), 0);
}

TEST_F(UsbLinkTest, DeviceWithoutConfigurationIsRejected)
{
    const int bus = sim.addBus();
    const int bare = sim.addDevice(bus, Vid, Pid, "VAZEziz", "WinUSBComm", 0);
    sim.setDeviceFault(bare, KSIM_NO_CONFIG, 1);
    EXPECT_EQ(usb.open(Vid, Pid), 0);
    EXPECT_EQ(sim.openHandles(), 0);
}

TEST_F(UsbLinkTest, EveryOpenBindsTheLibraryAgainAndSearchesAfresh)
{
    const int bus = sim.addBus();
    const int programmer = sim.addProgrammer(bus, "WinUSBComm");
    ASSERT_EQ(usb.open(Vid, Pid), 1);
    usb.close();
    sim.unplug(programmer);
    EXPECT_EQ(usb.open(Vid, Pid), 0);
    sim.plug(programmer);
    EXPECT_EQ(usb.open(Vid, Pid), 1);

    std::vector<int> kinds;
    for (const SimCall& c : sim.calls()) {
        if (c.call.kind == KSIM_CALL_INIT || c.call.kind == KSIM_CALL_FIND_BUSSES
            || c.call.kind == KSIM_CALL_FIND_DEVICES || c.call.kind == KSIM_CALL_GET_BUSSES)
            kinds.push_back(c.call.kind);
    }
    const std::vector<int> oneSearch
        = {KSIM_CALL_INIT, KSIM_CALL_FIND_BUSSES, KSIM_CALL_FIND_DEVICES, KSIM_CALL_GET_BUSSES};
    std::vector<int> threeSearches;
    for (int i = 0; i < 3; ++i)
        threeSearches.insert(threeSearches.end(), oneSearch.begin(), oneSearch.end());
    EXPECT_EQ(kinds, threeSearches);
}

TEST_F(UsbLinkTest, StringFetchAsksForTheDescriptorInUsEnglish)
{
    sim.addProgrammer(sim.addBus(), "WinUSBComm");
    ASSERT_EQ(usb.open(Vid, Pid), 1);
    const std::vector<SimCall> controls = sim.calls(KSIM_CALL_CONTROL);
    ASSERT_EQ(controls.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(controls[i].call.endpoint, 0x80); // request type
        EXPECT_EQ(controls[i].call.request, 6);
        EXPECT_EQ(controls[i].call.value, 0x0300 + i + 1);
        EXPECT_EQ(controls[i].call.index, 0x0409);
        EXPECT_EQ(controls[i].call.length, 256);
        EXPECT_EQ(controls[i].call.timeout, 1000);
    }
}

TEST_F(UsbLinkTest, StringDescriptorFolding)
{
    int device = 0;
    usb_dev_handle* handle = openProgrammerWithStrings(&device);
    ASSERT_NE(handle, nullptr);
    char text[256];

    // Characters above 0xFF come back as "?".
    const std::vector<uint16_t> mixed = {'A', 0x0142, 'B', 0x4E2D, 0x00E9};
    sim.setString(device, 5, mixed.data(), static_cast<int>(mixed.size()));
    EXPECT_EQ(usb.readStringAscii(handle, 5, 0x409, text, sizeof text), 5);
    EXPECT_EQ(std::string(text), std::string("A?B?\xE9"));

    // A reply that is not a string descriptor gives an empty text and 0.
    const uint8_t config[] = {6, 2, 'A', 0, 'B', 0};
    sim.setDescriptor(device, 6, config, sizeof config);
    std::strcpy(text, "junk");
    EXPECT_EQ(usb.readStringAscii(handle, 6, 0x409, text, sizeof text), 0);
    EXPECT_STREQ(text, "");

    // The descriptor's own length wins over the bytes received; an odd length drops the half unit.
    const uint8_t shortLength[] = {5, 3, 'A', 0, 'B', 0, 'C', 0};
    sim.setDescriptor(device, 7, shortLength, sizeof shortLength);
    EXPECT_EQ(usb.readStringAscii(handle, 7, 0x409, text, sizeof text), 1);
    EXPECT_STREQ(text, "A");

    // A length byte larger than the reply is cut to the bytes received.
    const uint8_t longLength[] = {200, 3, 'x', 0, 'y', 0};
    sim.setDescriptor(device, 8, longLength, sizeof longLength);
    EXPECT_EQ(usb.readStringAscii(handle, 8, 0x409, text, sizeof text), 2);
    EXPECT_STREQ(text, "xy");

    // A reply of one byte is no string descriptor.
    const uint8_t oneByte[] = {2};
    sim.setDescriptor(device, 9, oneByte, sizeof oneByte);
    EXPECT_EQ(usb.readStringAscii(handle, 9, 0x409, text, sizeof text), 0);
    EXPECT_STREQ(text, "");

    // The destination keeps room for its terminator.
    const std::vector<uint16_t> five = {'1', '2', '3', '4', '5'};
    sim.setString(device, 10, five.data(), 5);
    char small[3] = {'#', '#', '#'};
    EXPECT_EQ(usb.readStringAscii(handle, 10, 0x409, small, sizeof small), 2);
    EXPECT_STREQ(small, "12");

    // A failed fetch returns the libusb error unchanged.
    sim.setDeviceFault(device, KSIM_STRING_FAILS, 11);
    EXPECT_EQ(usb.readStringAscii(handle, 11, 0x409, text, sizeof text), -110);
}

TEST_F(UsbLinkTest, ManufacturerWithHighBytesDoesNotMatch)
{
    const int bus = sim.addBus();
    const int folded = sim.addProgrammer(bus, "WinUSBComm");
    // "VAZEziz" with a 'z' carrying a high byte folds to "VAZE?iz".
    const std::vector<uint16_t> maker = {'V', 'A', 'Z', 'E', 0x017A, 'i', 'z'};
    sim.setString(folded, 1, maker.data(), static_cast<int>(maker.size()));
    const int wrongType = sim.addProgrammer(bus, "WinUSBComm");
    const uint8_t notString[] = {16, 0x21, 'V', 0, 'A', 0, 'Z', 0, 'E', 0, 'z', 0, 'i', 0, 'z', 0};
    sim.setDescriptor(wrongType, 1, notString, sizeof notString);
    EXPECT_EQ(usb.open(Vid, Pid), 0);
    EXPECT_EQ(sim.openHandles(), 0);
    EXPECT_EQ(devicesWith(KSIM_CALL_CLOSE, false), (std::vector<int> {folded, wrongType}));
}

TEST_F(UsbLinkTest, CommandWithoutReplyIsOneWriteAndNoPause)
{
    sim.addProgrammer(sim.addBus(), "WinUSBComm");
    ASSERT_EQ(usb.open(Vid, Pid), 1);
    sim.clearCalls();

    std::array<quint8, 64> block {};
    block[0] = 1;
    block[1] = 8;
    int written = 0;
    EXPECT_EQ(usb.sendCommand(block.data(), 64, 0, &written), 64);
    EXPECT_EQ(written, 64);
    EXPECT_TRUE(pauses.empty());

    const std::vector<SimCall> calls = sim.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].call.kind, KSIM_CALL_BULK_WRITE);
    EXPECT_EQ(calls[0].call.endpoint, 0x02);
    EXPECT_EQ(calls[0].call.timeout, 5000);
    EXPECT_EQ(calls[0].bytes, std::vector<uint8_t>(block.begin(), block.end()));
}

TEST_F(UsbLinkTest, CommandWithReplyPausesThenOverwritesTheBlockWithTheReply)
{
    sim.addProgrammer(sim.addBus(), "WinUSBComm Device");
    ASSERT_EQ(usb.open(Vid, Pid), 1);
    sim.clearCalls();

    std::array<quint8, 64> block {};
    block.fill(0xEE);
    block[0] = 0;
    block[1] = 10; // status
    const std::array<quint8, 64> command = block;
    EXPECT_EQ(usb.sendCommand(block.data(), 64, 1), 64);
    EXPECT_EQ(pauses, std::vector<int> {50});

    const std::vector<SimCall> calls = sim.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].call.kind, KSIM_CALL_BULK_WRITE);
    EXPECT_EQ(calls[0].call.endpoint, 0x04);
    EXPECT_EQ(calls[0].bytes, std::vector<uint8_t>(command.begin(), command.end()));
    EXPECT_EQ(calls[1].call.kind, KSIM_CALL_BULK_READ);
    EXPECT_EQ(calls[1].call.endpoint, 0x85);
    EXPECT_EQ(calls[1].call.length, 64);
    EXPECT_EQ(calls[1].call.timeout, 5000);
    ASSERT_EQ(calls[1].bytes.size(), 64u);
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.end()), calls[1].bytes);
    EXPECT_NE(block, command);
}

TEST_F(UsbLinkTest, AFailedCommandWriteEndsTheExchangeWithoutReadingAReply)
{
    const int programmer = sim.addProgrammer(sim.addBus(), "WinUSBComm");
    ASSERT_EQ(usb.open(Vid, Pid), 1);
    sim.armFault(programmer, KSIM_FAULT_TIMEOUT, 1);
    sim.clearCalls();

    std::array<quint8, 64> block {};
    int written = 0;
    const int result = usb.sendCommand(block.data(), 64, 1, &written);
    EXPECT_EQ(written, -110);
    // The write was the last transfer performed: no reply read and no pause for one.
    EXPECT_EQ(result, -110);
    const std::vector<SimCall> transfers = sim.transfers();
    ASSERT_EQ(transfers.size(), 1u);
    EXPECT_EQ(transfers[0].call.kind, KSIM_CALL_BULK_WRITE);
    EXPECT_TRUE(pauses.empty());
    EXPECT_TRUE(usb.linkFaulted());
}

TEST_F(UsbLinkTest, DataTransfersUseTheDataEndpoints)
{
    sim.addProgrammer(sim.addBus(), "WinUSBComm");
    ASSERT_EQ(usb.open(Vid, Pid), 1);
    sim.setRecording(KSIM_RECORD_ALL);
    sim.clearCalls();

    std::vector<quint8> data(256);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<quint8>(i * 7);
    usb.writeData(data.data(), 256);
    std::vector<quint8> in(128, 0xCC);
    usb.readData(in.data(), 128);

    const std::vector<SimCall> transfers = sim.transfers();
    ASSERT_EQ(transfers.size(), 2u);
    EXPECT_EQ(transfers[0].call.endpoint, 0x01);
    EXPECT_EQ(transfers[0].call.length, 256);
    EXPECT_EQ(transfers[0].bytes, std::vector<uint8_t>(data.begin(), data.end()));
    EXPECT_EQ(transfers[1].call.endpoint, 0x82);
    EXPECT_EQ(transfers[1].call.length, 128);
    EXPECT_TRUE(pauses.empty());
}

TEST_F(UsbLinkTest, CloseReleasesThenClosesAndLaterTransfersDoNothing)
{
    const int bus = sim.addBus();
    sim.addDevice(bus, Vid, Pid, "VAZEziz", "WinUSBComm", 2);
    ASSERT_EQ(usb.open(Vid, Pid), 1);
    sim.clearCalls();

    usb.close();
    EXPECT_EQ(usb.deviceHandle(), nullptr);
    const std::vector<SimCall> calls = sim.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].call.kind, KSIM_CALL_RELEASE);
    EXPECT_EQ(calls[0].call.endpoint, 2);
    EXPECT_EQ(calls[1].call.kind, KSIM_CALL_CLOSE);
    EXPECT_EQ(sim.openHandles(), 0);

    sim.clearCalls();
    std::array<quint8, 64> block {};
    block.fill(0x11);
    const auto before = block;
    EXPECT_EQ(usb.sendCommand(block.data(), 64, 0), UsbLink::NotOpen);
    EXPECT_EQ(usb.sendCommand(block.data(), 64, 1), UsbLink::NotOpen);
    EXPECT_EQ(usb.writeData(block.data(), 64), UsbLink::NotOpen);
    EXPECT_EQ(usb.readData(block.data(), 64), UsbLink::NotOpen);
    usb.close();
    EXPECT_EQ(block, before);
    EXPECT_EQ(sim.callCount(), 0);
    EXPECT_EQ(pauses, std::vector<int> {50});
}

TEST_F(UsbLinkTest, CloseGoesOnToCloseWhenTheReleaseFails)
{
    const int programmer = sim.addProgrammer(sim.addBus(), "WinUSBComm");
    ASSERT_EQ(usb.open(Vid, Pid), 1);
    sim.unplug(programmer);
    sim.clearCalls();
    usb.close();
    const std::vector<SimCall> calls = sim.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].call.kind, KSIM_CALL_RELEASE);
    EXPECT_LT(calls[0].call.result, 0);
    EXPECT_EQ(calls[1].call.kind, KSIM_CALL_CLOSE);
    EXPECT_EQ(sim.openHandles(), 0);
    EXPECT_EQ(usb.deviceHandle(), nullptr);
}

TEST_F(UsbLinkTest, OpeningAgainClosesTheHandleStillOpen)
{
    sim.addProgrammer(sim.addBus(), "WinUSBComm");
    ASSERT_EQ(usb.open(Vid, Pid), 1);
    ASSERT_EQ(usb.open(Vid, Pid), 1);
    EXPECT_EQ(sim.openHandles(), 1);
}

TEST_F(UsbLinkTest, TransmitIsOneVendorControlTransfer)
{
    sim.addProgrammer(sim.addBus(), "WinUSBComm");
    ASSERT_EQ(usb.open(Vid, Pid), 1);
    sim.clearCalls();
    const quint8 setup[4] = {0x34, 0x12, 0x78, 0x56};
    quint8 data[8] = {};
    // The simulated programmer stalls vendor requests: a negative result comes back as -1.
    EXPECT_EQ(usb.controlTransfer(1, 0x33, setup, data, sizeof data), -1);
    const std::vector<SimCall> controls = sim.calls(KSIM_CALL_CONTROL);
    ASSERT_EQ(controls.size(), 1u);
    EXPECT_EQ(controls[0].call.endpoint, 0xC0);
    EXPECT_EQ(controls[0].call.request, 0x33);
    EXPECT_EQ(controls[0].call.value, 0x1234);
    EXPECT_EQ(controls[0].call.index, 0x5678);
    EXPECT_EQ(controls[0].call.length, 8);
    EXPECT_EQ(controls[0].call.timeout, 7000);

    sim.clearCalls();
    usb.controlTransfer(0, 0x01, setup, data, 0);
    ASSERT_EQ(sim.calls(KSIM_CALL_CONTROL).size(), 1u);
    EXPECT_EQ(sim.calls(KSIM_CALL_CONTROL)[0].call.endpoint, 0x40);
}

TEST_F(UsbLinkTest, EntryPointsTheLibraryLacksReturnTheirFixedValues)
{
    sim.addProgrammer(sim.addBus(), "WinUSBComm");
    ASSERT_EQ(usb.open(Vid, Pid), 1);
    const UsbBinding& binding = usb.binding();
    usb_dev_handle* handle = usb.deviceHandle();

    // The simulator leaves out the interrupt transfers and the Windows additions on purpose.
    EXPECT_EQ(binding.boundCount(), 23);
    for (const char* name :
        {"usb_interrupt_write", "usb_interrupt_read", "usb_reset_ex", "usb_get_version", "usb_install_service_np",
            "usb_uninstall_service_np", "usb_install_driver_np", "usb_isochronous_setup_async", "usb_bulk_setup_async",
            "usb_interrupt_setup_async", "usb_submit_async", "usb_reap_async", "usb_free_async"})
        EXPECT_FALSE(binding.hasEntryPoint(name)) << name;
    sim.clearCalls();
    char buffer[64] = {};
    void* context = nullptr;
    EXPECT_EQ(binding.usb_interrupt_write(handle, 1, buffer, 64, 5000), UsbBinding::MissingEntryPoint);
    EXPECT_EQ(binding.usb_interrupt_read(handle, 0x82, buffer, 64, 5000), UsbBinding::MissingEntryPoint);
    EXPECT_EQ(binding.usb_reset_ex(handle, 1), UsbBinding::MissingEntryPoint);
    EXPECT_EQ(binding.usb_get_version(), nullptr);
    EXPECT_EQ(binding.usb_bulk_setup_async(handle, &context, 0x82), UsbBinding::MissingEntryPoint);
    EXPECT_EQ(sim.callCount(), 0);

    // Those it has are forwarded.
    EXPECT_TRUE(binding.hasEntryPoint("usb_get_string_simple"));
    EXPECT_EQ(binding.usb_get_string_simple(handle, 1, buffer, sizeof buffer), 7);
    EXPECT_STREQ(buffer, "VAZEziz");
    EXPECT_NE(binding.usb_device(handle), nullptr);
    EXPECT_EQ(binding.usb_device(handle)->descriptor.idProduct, Pid);
}

} // namespace

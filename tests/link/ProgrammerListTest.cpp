// Several programmers on one computer: their locations, their states, and opening one by location.
#include "link/UsbLink.h"
#include "tests/sim/SimControl.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrum;
using kestrum::test::SimControl;

namespace {

class ProgrammerListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        KESTRUM_REQUIRE_SIM(sim);
        sim.reset();
        ASSERT_TRUE(sysfs.isValid());
        qputenv("KESTRUM_SYSFS_ROOT", sysfs.path().toLocal8Bit());
    }
    void TearDown() override { qunsetenv("KESTRUM_SYSFS_ROOT"); }

    /// A device folder of the made-up sysfs tree.
    void sysfsDevice(const QString& name, int bus, int device, const char* vendor, const char* product)
    {
        const QString folder = sysfs.path() + QStringLiteral("/bus/usb/devices/") + name;
        ASSERT_TRUE(QDir().mkpath(folder));
        const std::pair<const char*, QByteArray> files[] = {{"busnum", QByteArray::number(bus)},
            {"devnum", QByteArray::number(device)}, {"idVendor", vendor}, {"idProduct", product}};
        for (const auto& [file, text] : files) {
            QFile f(folder + QLatin1Char('/') + QLatin1String(file));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(text + '\n');
        }
    }

    SimControl& sim = SimControl::get();
    QTemporaryDir sysfs;
};

TEST_F(ProgrammerListTest, LocationsComeFromTheSysfsPortPathOfTheSameDeviceElseFromBusAndDevice)
{
    const int bus = sim.addBus();
    for (int i = 0; i < 5; ++i)
        sim.addProgrammer(bus, "WinUSBComm");
    // Device 2 sits on port 1.4; the folders for 1, 3, 4 and 5 are a root hub, an interface and
    // two other devices with the same numbers (another maker's, another product of the same
    // maker), none of which names a programmer.
    sysfsDevice(QStringLiteral("1-1.4"), 1, 2, "1fc8", "310B");
    sysfsDevice(QStringLiteral("usb1"), 1, 1, "1fc8", "310b");
    sysfsDevice(QStringLiteral("1-2:1.0"), 1, 3, "1fc8", "310b");
    sysfsDevice(QStringLiteral("1-3"), 1, 4, "046d", "310b");
    sysfsDevice(QStringLiteral("1-4"), 1, 5, "1fc8", "310c");

    UsbLink usb;
    const auto list = usb.listProgrammers();
    ASSERT_EQ(list.size(), 5u);
    const char* expected[] = {"001:001", "1-1.4", "001:003", "001:004", "001:005"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(list[i].location, expected[i]) << i;
}

TEST_F(ProgrammerListTest, EachProgrammerShowsItsProductByteOrderAndStateAndOthersAreLeftOut)
{
    const int bus = sim.addBus();
    const int free = sim.addProgrammer(bus, "WinUSBComm Device");
    const int held = sim.addProgrammer(bus, "WinUSBComm");
    const int locked = sim.addProgrammer(bus, "WinUSBComm");
    sim.addDevice(bus, UsbLink::ProgrammerVendorId, UsbLink::ProgrammerProductId, "Someone", "WinUSBComm", 0);
    ASSERT_EQ(sim.setDeviceFault(locked, KSIM_OPEN_FAILS, 1), 0);

    UsbLink holder;
    holder.setLocation("001:002");
    ASSERT_EQ(holder.open(UsbLink::ProgrammerVendorId, UsbLink::ProgrammerProductId), 1);
    UsbLink usb;
    const auto list = usb.listProgrammers();
    holder.close();

    using State = ProgrammerInfo::State;
    const std::vector<ProgrammerInfo> expected = {
        {"001:00" + QByteArray::number(free), "WinUSBComm Device", ByteOrder::Little, State::Free},
        {"001:00" + QByteArray::number(held), "WinUSBComm", ByteOrder::Big, State::InUse},
        {"001:00" + QByteArray::number(locked), "", ByteOrder::Big, State::NoAccess},
    };
    EXPECT_EQ(list, expected);
    EXPECT_EQ(sim.openHandles(), 0) << "listing closes every programmer it opened";
}

TEST_F(ProgrammerListTest, OpenTakesOnlyTheProgrammerAtTheChosenLocation)
{
    const int bus = sim.addBus();
    sim.addProgrammer(bus, "WinUSBComm");
    const int second = sim.addProgrammer(bus, "WinUSBComm Device");
    sysfsDevice(QStringLiteral("1-1.2"), 1, second, "1fc8", "310b");

    const struct
    {
        QByteArray location;
        int opened;
        int readEndpoint;
    } rows[] = {{"", 1, 0x82}, {"1-1.2", 1, 0x85}, {"001:001", 1, 0x82}, {"001:002", 0, 0}, {"1-1.3", 0, 0}};
    for (const auto& row : rows) {
        UsbLink usb;
        usb.setLocation(row.location);
        EXPECT_EQ(usb.open(UsbLink::ProgrammerVendorId, UsbLink::ProgrammerProductId), row.opened)
            << row.location.data();
        if (row.opened) {
            EXPECT_EQ(usb.readEndpoint(), row.readEndpoint) << row.location.data();
            EXPECT_EQ(usb.openedLocation(), row.location.isEmpty() ? "001:001" : row.location);
        } else {
            EXPECT_EQ(usb.openProblem().failure, UsbLink::OpenFailure::Absent);
        }
        usb.close();
    }
}

} // namespace

#pragma once

#include "sim/Firmware.h"
#include "sim/ksim.h"

#include <usb.h>

#include <cstdint>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// The handle type is opaque to libusb users; the simulator defines it.
struct usb_dev_handle
{
    int device = 0; ///< id of the simulated device
    bool readOnly = false; ///< opened on a node without write access: every request fails
    bool claimed = false;
    int claimedInterface = -1;
};

namespace kestrum::sim {

// errno values that libusb 0.1 returns negated.
inline constexpr int ErrNoDevice = -19; // ENODEV
inline constexpr int ErrTimedOut = -110; // ETIMEDOUT
inline constexpr int ErrPipe = -32; // EPIPE
inline constexpr int ErrInvalid = -22; // EINVAL
inline constexpr int ErrBusy = -16; // EBUSY
inline constexpr int ErrIo = -5; // EIO
inline constexpr int ErrNotPermitted = -1; // EPERM
inline constexpr int ErrAccess = -13; // EACCES

/// One simulated USB device: ids, string descriptors, one configuration with one interface, and
/// optionally the programmer's firmware behind its bulk endpoints.
struct SimDevice
{
    int id = 0;
    int bus = 0;
    bool plugged = true;
    bool listed = false; ///< on its bus's device list since the last usb_find_devices

    std::map<int, std::vector<std::uint8_t>> descriptors; ///< string descriptor index → reply bytes
    int openError = 0; ///< errno of a failing usb_open; 0 when it opens
    int claimError = 0; ///< errno of a failing claim; 0 when it can be claimed
    bool readOnly = false; ///< the device node grants read access only
    bool noConfig = false;
    std::set<int> failingStrings;

    std::unique_ptr<Firmware> firmware;
    /// Guards the firmware and its chip. Held across a transfer, its pauses included, and never
    /// while the world's lock is taken: transfers of different devices run side by side.
    std::mutex lock;
    /// The device lost its power (unplugged) while a transfer may hold its lock: the firmware
    /// forgets its job before its next use.
    std::atomic<bool> powerLost {false};
    /// Applies a pending loss of power; called with lock held.
    void applyPowerLoss()
    {
        if (powerLost.exchange(false) && firmware)
            firmware->powerCycle();
    }

    // What libusb users see. Stable addresses: the device is never moved.
    struct usb_device device
    {
    };
    usb_config_descriptor config {};
    usb_interface interface {
    };
    usb_interface_descriptor altsetting {};
};

struct SimBus
{
    int number = 0;
    usb_bus bus {};
};

/// A recorded call; the public ksim_call view points into it.
struct CallRecord
{
    ksim_call call {};
    std::vector<std::uint8_t> bytes;
};

/// The whole simulated USB world. One per process. Its lists, handles, faults and recording sit
/// behind the world's lock, which every entry point takes for the length of its bookkeeping only;
/// a bulk transfer lets it go while the device's firmware works (and sleeps, with realistic
/// timing) under the device's own lock, so several programmers run at once from several threads.
class World
{
public:
    static World& instance();

    std::mutex& mutex() { return m_mutex; }

    /// Builds the default world from the environment unless a control call configured the world.
    void ensureConfigured();
    void markConfigured() { m_configured = true; }
    void reset();

    // World building.
    int addBus();
    SimDevice* addDevice(int bus, int vendorId, int productId, const std::string& manufacturer,
        const std::string& product, int interfaceNumber);
    SimDevice* addProgrammer(int bus, const std::string& product);
    SimDevice* device(int id);
    void setString(SimDevice& device, int index, const std::u16string& text);
    void relink(); ///< rebuilds the bus and device lists from what is plugged
    /// Plugs or unplugs a device; the programmer loses its job when its power goes.
    void setPlugged(SimDevice& device, bool plugged);
    [[nodiscard]] usb_bus* busList() const { return m_busHead; }

    // Handles. A failing open leaves its errno in *error.
    usb_dev_handle* open(SimDevice& device, int* error);
    /// True when a handle other than this one holds a claim on that interface of the device.
    bool claimedElsewhere(const usb_dev_handle* handle, int interfaceNumber) const;
    bool isHandle(usb_dev_handle* handle) const { return m_handles.count(handle) != 0; }
    void close(usb_dev_handle* handle);
    [[nodiscard]] int openHandles() const { return static_cast<int>(m_handles.size()); }

    // Transfers, with the armed transfer faults applied.
    // The caller holds the world's lock through lock; it is let go while the firmware works.
    int bulkWrite(std::unique_lock<std::mutex>& lock, usb_dev_handle* handle, int endpoint,
        const std::uint8_t* bytes, int size, int timeout);
    int bulkRead(std::unique_lock<std::mutex>& lock, usb_dev_handle* handle, int endpoint, std::uint8_t* bytes,
        int size, int timeout);
    int controlRead(
        usb_dev_handle* handle, int requestType, int request, int value, int index, std::uint8_t* bytes, int size);
    int clearHalt(usb_dev_handle* handle, int endpoint);

    // Faults.
    void armFault(SimDevice& device, int fault, int atTransfer);

    // Timing.
    void setRealistic(bool realistic);
    [[nodiscard]] bool realistic() const { return m_realistic; }

    // Recording.
    void setRecording(int level) { m_recording = level; }
    [[nodiscard]] int recording() const { return m_recording; }
    CallRecord* record(int kind, int device, int endpoint, int length, int timeout, int result);
    void recordBytes(CallRecord* record, const std::uint8_t* bytes, int count);
    [[nodiscard]] int callCount() const { return static_cast<int>(m_calls.size()); }
    bool call(int i, ksim_call* out) const;
    void clearCalls() { m_calls.clear(); }

    // Errors.
    int fail(int error, const char* text);
    const char* lastError() const { return m_lastError.c_str(); }

private:
    World() = default;
    void configureFromEnvironment();
    /// One programmer of the environment's world: variables with the suffix _<number> win over
    /// the plain ones.
    void addProgrammerFromEnvironment(int bus, int number);
    /// Checks the handle and its device before a bulk transfer; 0 or a negative error.
    int checkTransfer(usb_dev_handle* handle, SimDevice** device);
    /// Counts one bulk transfer of the device and applies an armed fault; 0 or the fault kind.
    int nextTransferFault(SimDevice& device, int endpoint);
    /// The error that ends a transfer before it moves anything (an armed unplug or time-out, a
    /// stalled or unknown endpoint), or 0; *fault is the armed fault of this transfer.
    int blockedTransfer(SimDevice& device, int endpoint, bool knownEndpoint, int* fault);

    struct ArmedFault
    {
        int device;
        int kind;
        int atTransfer; ///< counted from the arming, from 1
        int counted = 0;
    };

    std::mutex m_mutex;
    bool m_configured = false;
    bool m_realistic = false;
    /// The world a program meets records nothing (a long demo would pile up every call); a test
    /// world built with reset records the calls.
    int m_recording = KSIM_RECORD_OFF;
    std::vector<std::unique_ptr<SimBus>> m_buses;
    std::vector<std::unique_ptr<SimDevice>> m_devices;
    usb_bus* m_busHead = nullptr;
    std::set<usb_dev_handle*> m_handles;
    std::vector<ArmedFault> m_faults;
    std::set<std::pair<int, int>> m_stalled; ///< (device, endpoint) halted
    std::vector<CallRecord> m_calls;
    std::string m_lastError;
};

} // namespace kestrum::sim

#pragma once

#include "sim/ksim.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrum::test {

/// A recorded call of the simulated programmer, with its bytes copied out.
struct SimCall
{
    ksim_call call {};
    std::vector<std::uint8_t> bytes;
};

/// The control interface of the simulated programmer, reached the way the program reaches the
/// library: dlopen("libusb-0.1.so.4") through the loader's search path, then dlsym. Tests never
/// link the simulator.
class SimControl
{
public:
    /// The simulator that the loader finds. When the library found is not the simulator (its
    /// folder is not first on LD_LIBRARY_PATH), ok() is false and why() says so.
    static SimControl& get();

    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] const std::string& why() const { return m_why; }

    decltype(&::ksim_reset) reset = nullptr;
    decltype(&::ksim_add_bus) addBus = nullptr;
    decltype(&::ksim_add_device) addDevice = nullptr;
    decltype(&::ksim_add_programmer) addProgrammer = nullptr;
    decltype(&::ksim_set_ids) setIds = nullptr;
    decltype(&::ksim_set_string_indexes) setStringIndexes = nullptr;
    decltype(&::ksim_set_string) setString = nullptr;
    decltype(&::ksim_set_descriptor) setDescriptor = nullptr;
    decltype(&::ksim_set_device_fault) setDeviceFault = nullptr;
    decltype(&::ksim_unplug) unplug = nullptr;
    decltype(&::ksim_plug) plug = nullptr;
    decltype(&::ksim_open_handles) openHandles = nullptr;
    decltype(&::ksim_insert_chip) insertChip = nullptr;
    decltype(&::ksim_chip_bytes) chipBytes = nullptr;
    decltype(&::ksim_set_chip_file) setChipFile = nullptr;
    decltype(&::ksim_set_erase_polls) setErasePolls = nullptr;
    decltype(&::ksim_set_identify_kind) setIdentifyKind = nullptr;
    decltype(&::ksim_set_timing) setTiming = nullptr;
    decltype(&::ksim_arm_fault) armFault = nullptr;
    decltype(&::ksim_get_state) fetchState = nullptr;
    decltype(&::ksim_set_recording) setRecording = nullptr;
    decltype(&::ksim_call_count) callCount = nullptr;
    decltype(&::ksim_get_call) fetchCall = nullptr;
    decltype(&::ksim_clear_calls) clearCalls = nullptr;

    /// Every recorded call, or those of one kind, in order.
    [[nodiscard]] std::vector<SimCall> calls(int kind = 0) const;
    /// The bulk transfers (both directions), in order.
    [[nodiscard]] std::vector<SimCall> transfers() const;
    /// The programmer's state.
    [[nodiscard]] ksim_state state(int device) const;

private:
    SimControl();
    bool m_ok = false;
    std::string m_why;
};

} // namespace kestrum::test

/// Fails the test at once unless the simulated programmer is the library the loader finds.
#define KESTRUM_REQUIRE_SIM(sim)                                                                                       \
    do {                                                                                                               \
        ASSERT_TRUE((sim).ok()) << (sim).why();                                                                        \
    } while (false)

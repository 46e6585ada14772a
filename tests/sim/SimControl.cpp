#include "tests/sim/SimControl.h"

#include <dlfcn.h>

namespace kestrum::test {

namespace {

template <typename Function> bool lookUp(void* library, const char* name, Function& slot, std::string& missing)
{
    slot = reinterpret_cast<Function>(dlsym(library, name));
    if (!slot)
        missing += std::string(missing.empty() ? "" : ", ") + name;
    return slot != nullptr;
}

} // namespace

SimControl& SimControl::get()
{
    static SimControl control;
    return control;
}

SimControl::SimControl()
{
    void* library = dlopen("libusb-0.1.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* error = dlerror();
        m_why = std::string("libusb-0.1.so.4 cannot be loaded: ") + (error ? error : "");
        return;
    }
    std::string missing;
    lookUp(library, "ksim_reset", reset, missing);
    lookUp(library, "ksim_add_bus", addBus, missing);
    lookUp(library, "ksim_add_device", addDevice, missing);
    lookUp(library, "ksim_add_programmer", addProgrammer, missing);
    lookUp(library, "ksim_set_ids", setIds, missing);
    lookUp(library, "ksim_set_string_indexes", setStringIndexes, missing);
    lookUp(library, "ksim_set_string", setString, missing);
    lookUp(library, "ksim_set_descriptor", setDescriptor, missing);
    lookUp(library, "ksim_set_device_fault", setDeviceFault, missing);
    lookUp(library, "ksim_unplug", unplug, missing);
    lookUp(library, "ksim_plug", plug, missing);
    lookUp(library, "ksim_open_handles", openHandles, missing);
    lookUp(library, "ksim_insert_chip", insertChip, missing);
    lookUp(library, "ksim_set_identify_kind", setIdentifyKind, missing);
    lookUp(library, "ksim_chip_bytes", chipBytes, missing);
    lookUp(library, "ksim_set_chip_file", setChipFile, missing);
    lookUp(library, "ksim_set_erase_polls", setErasePolls, missing);
    lookUp(library, "ksim_set_timing", setTiming, missing);
    lookUp(library, "ksim_arm_fault", armFault, missing);
    lookUp(library, "ksim_get_state", fetchState, missing);
    lookUp(library, "ksim_set_recording", setRecording, missing);
    lookUp(library, "ksim_call_count", callCount, missing);
    lookUp(library, "ksim_get_call", fetchCall, missing);
    lookUp(library, "ksim_clear_calls", clearCalls, missing);
    if (!missing.empty()) {
        m_why = "the libusb-0.1.so.4 on the loader path is not the simulated programmer (missing " + missing
            + "); put the sim-usb folder first on LD_LIBRARY_PATH";
        return;
    }
    m_ok = true;
}

std::vector<SimCall> SimControl::calls(int kind) const
{
    std::vector<SimCall> result;
    const int count = callCount();
    for (int i = 0; i < count; ++i) {
        SimCall c;
        if (fetchCall(i, &c.call) != 0)
            break;
        if (kind != 0 && c.call.kind != kind)
            continue;
        if (c.call.bytes && c.call.byte_count > 0)
            c.bytes.assign(c.call.bytes, c.call.bytes + c.call.byte_count);
        c.call.bytes = nullptr;
        result.push_back(std::move(c));
    }
    return result;
}

std::vector<SimCall> SimControl::transfers() const
{
    std::vector<SimCall> result;
    for (SimCall& c : calls()) {
        if (c.call.kind == KSIM_CALL_BULK_WRITE || c.call.kind == KSIM_CALL_BULK_READ)
            result.push_back(std::move(c));
    }
    return result;
}

ksim_state SimControl::state(int device) const
{
    ksim_state s {};
    fetchState(device, &s);
    return s;
}

} // namespace kestrum::test

// readSRecord on arbitrary text, through blocks of changing size; the buffer is exactly the
// maximum size, so any store beyond it is caught.
#include "buffer/SRecord.h"
#include "fuzz/FuzzSupport.h"

#include <memory>

using namespace kestrum;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::uint32_t MaxSize = 0x11000;
    auto buffer = std::make_unique<std::uint8_t[]>(MaxSize);
    fuzz::CountingUserInterface ui;
    RecordFile file;
    file.openMemory(reinterpret_cast<const char*>(data), size, RecordFile::MinimumBlockSize + size % 97);
    const qint32 extent = readSRecord(file, buffer.get(), MaxSize, ui);
    fuzz::require(extent >= 0 && static_cast<std::uint32_t>(extent) <= MaxSize);
    fuzz::require(ui.errors <= 1);
    if (extent > 0)
        fuzz::require(ui.errors == 0);
    return 0;
}

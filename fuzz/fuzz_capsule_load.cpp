// loadImageFile on ".cap" files: the first 2048 bytes are skipped, the size test counts the whole
// file, and a file no longer than its header loads nothing.
#include "buffer/ImageFile.h"
#include "fuzz/FuzzSupport.h"

#include <cstring>
#include <memory>

using namespace kestrum;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::scratchFolder() + QStringLiteral("/image.CAP");
    fuzz::writeWholeFile(path, data, size);

    constexpr std::uint32_t Capacity = 4096;
    auto buffer = std::make_unique<std::uint8_t[]>(Capacity);
    std::memset(buffer.get(), 0xA5, Capacity);
    fuzz::CountingUserInterface ui;
    const qint32 count = loadImageFile(path, buffer.get(), Capacity, ui);

    if (size > Capacity) {
        fuzz::require(count == 0 && ui.errors == 1);
        fuzz::require(buffer[0] == 0xA5);
    } else if (size <= CapsuleHeaderSize) {
        fuzz::require(count == 0 && ui.errors == 0);
        fuzz::require(buffer[0] == 0xA5);
    } else {
        fuzz::require(count == static_cast<qint32>(size - CapsuleHeaderSize) && ui.errors == 0);
        fuzz::require(std::memcmp(buffer.get(), data + CapsuleHeaderSize, size - CapsuleHeaderSize) == 0);
    }
    return 0;
}

// readIntelHex on arbitrary text, read through blocks of changing size so that lines straddle
// every refill position. The buffer is exactly the maximum size: any store beyond it is caught.
// The block decoder is also compared with a plain digit-by-digit decoder on the same text.
#include "buffer/HexText.h"
#include "buffer/IntelHex.h"
#include "fuzz/FuzzSupport.h"

#include <memory>

using namespace kestrum;

namespace {

void compareDecoders(const char* text, std::size_t size)
{
    const std::size_t pairs = size / 2;
    auto fast = std::make_unique<std::uint8_t[]>(pairs + 1);
    std::uint32_t fastSum = 0;
    const std::size_t decoded = hextext::decodePairs(text, pairs, fast.get(), fastSum);
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i < pairs; ++i) {
        const int high = hextext::digitValue(text[2 * i]);
        const int low = hextext::digitValue(text[2 * i + 1]);
        if (high < 0 || low < 0)
            break;
        fuzz::require(fast[i] == (high << 4 | low));
        sum += static_cast<std::uint32_t>(high << 4 | low);
    }
    fuzz::require(decoded == i);
    fuzz::require(fastSum == sum);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    compareDecoders(text, size);

    constexpr std::uint32_t MaxSize = 0x11000;
    auto buffer = std::make_unique<std::uint8_t[]>(MaxSize);
    fuzz::CountingUserInterface ui;
    RecordFile file;
    file.openMemory(text, size, RecordFile::MinimumBlockSize + size % 97);
    const qint32 extent = readIntelHex(file, buffer.get(), MaxSize, ui);
    fuzz::require(extent >= 0 && static_cast<std::uint32_t>(extent) <= MaxSize);
    // Success is silent; a failure shows one message, two when the file ended early.
    fuzz::require(ui.errors <= 2);
    if (extent > 0)
        fuzz::require(ui.errors == 0);
    return 0;
}

// loadImageFile on a real file whose extension comes from the first input byte: raw kinds load
// byte for byte up to the capacity and refuse larger files; ".eep" files go to the reader their
// first line picks, and are loaded raw when it is no text line.
#include "buffer/ImageFile.h"
#include "fuzz/FuzzSupport.h"

#include <cstring>
#include <memory>

using namespace kestrum;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const char* const Extensions[] = {".bin", ".ROM", ".eep", ".EeP", ".dat", "", ".", ".src"};
    const char* extension = Extensions[data[0] % 8];
    ++data;
    --size;

    const QString path = fuzz::scratchFolder() + QStringLiteral("/image") + QString::fromLatin1(extension);
    fuzz::writeWholeFile(path, data, size);

    constexpr std::uint32_t Capacity = 1024;
    auto buffer = std::make_unique<std::uint8_t[]>(Capacity);
    std::memset(buffer.get(), 0xFF, Capacity);
    fuzz::CountingUserInterface ui;
    const qint32 count = loadImageFile(path, buffer.get(), Capacity, ui);
    fuzz::require(count >= 0 && static_cast<std::uint32_t>(count) <= Capacity);

    // ".src" is S-record; an ".eep" file is text only when it starts like a text line, after an
    // optional UTF-8 byte-order mark.
    const bool eep = std::strcmp(extension, ".eep") == 0 || std::strcmp(extension, ".EeP") == 0;
    const bool text = std::strcmp(extension, ".src") == 0
        || (eep && size > 0 && (data[0] == ':' || data[0] == 'S' || data[0] == 0xEF));
    if (!text) {
        if (size > Capacity) {
            fuzz::require(count == 0 && ui.errors == 1);
        } else {
            fuzz::require(count == static_cast<qint32>(size) && ui.errors == 0);
            fuzz::require(std::memcmp(buffer.get(), data, size) == 0);
        }
    }
    return 0;
}

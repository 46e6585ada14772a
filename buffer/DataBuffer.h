#pragma once

#include <QtGlobal>

#include <cstdint>
#include <memory>

namespace kestrum {

/// 64 MiB: the largest chip the programmer handles.
inline constexpr std::uint32_t BufferCapacity = 0x4000000;

/// The byte image every chip operation works on; index = chip address. Allocated once, all 0xFF.
struct DataBuffer
{
    DataBuffer();

    std::unique_ptr<std::uint8_t[]> bytes;
    /// Meaningful bytes from index 0; 0 means the buffer is empty.
    qint32 usedLength = 0;
    /// True while the buffer holds edits, a fill or a loaded file that was neither saved to a file
    /// nor written to a chip since; whoever changes or saves the bytes keeps it current.
    bool modified = false;

    /// Sets every byte to 0xFF (the start of every Open).
    void fillErased();
    void markModified() { modified = true; }
    /// The bytes were saved or written: nothing is lost by replacing them now.
    void markSaved() { modified = false; }
    [[nodiscard]] std::uint8_t* data() { return bytes.get(); }
    [[nodiscard]] const std::uint8_t* data() const { return bytes.get(); }
};

} // namespace kestrum

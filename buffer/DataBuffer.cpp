#include "buffer/DataBuffer.h"

#include <cstring>

namespace kestrum {

DataBuffer::DataBuffer()
    : bytes(new std::uint8_t[BufferCapacity])
{
    fillErased();
}

void DataBuffer::fillErased()
{
    std::memset(bytes.get(), 0xFF, BufferCapacity);
}

} // namespace kestrum

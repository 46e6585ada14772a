#pragma once

#include "layout/FlashLayout.h"

#include <QString>

namespace kestrum {

/// "flash descriptor", "FMAP", "layout file", "content" in a message language.
QString regionSourceText(RegionSource source, int language);

/// "FMAP refused at offset 0x1234: regions A and B overlap": what was refused, where and why.
QString layoutFaultText(const LayoutFault& fault, int language);

/// "0x001000": an address in at least six hex digits.
QString addressHex(std::uint64_t address);

/// "0x001000-0x002FFF": a region's first and last byte, in at least six hex digits.
QString regionRangeText(const Region& region);

} // namespace kestrum

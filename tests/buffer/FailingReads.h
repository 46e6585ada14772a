#pragma once

// Reads from files whose name contains FailingReadMarker fail with EIO from byte FailingReadOffset
// on, as from a disk with a bad sector; every other file reads as usual. The test program's own
// read, pread and pread64 stand in front of the C library's for this.

namespace kestrum::test {

inline constexpr char FailingReadMarker[] = "unreadable-";
inline constexpr long FailingReadOffset = 4096;

} // namespace kestrum::test

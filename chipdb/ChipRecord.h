#pragma once

#include "base/Messages.h"

#include <QString>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kestrum {

/// Chip class: which bus and command family the programmer uses.
enum ChipClass : std::uint8_t {
    SpiFlash25 = 0,
    I2cEeprom24 = 1,
    MicrowireEeprom93 = 2,
    SpiEeprom25 = 3,
};

/// Supply voltage index of a chip.
enum ChipVoltage : std::uint8_t {
    Volt33 = 0,
    Volt18 = 1,
    Volt50 = 2,
};

inline constexpr int NamesSize = 48;

// One chip description. The same 68 bytes are the in-memory form and the database file form, so
// the record is packed and the host must be little-endian (every machine Kestrum runs on is).
static_assert(std::endian::native == std::endian::little, "the chip database is little-endian");

#pragma pack(push, 1)
struct ChipRecord
{
    char names[NamesSize]; ///< "type,manufacturer,model" in GBK, zero-terminated; empty = end of list
    std::uint32_t chipId; ///< (b1 << 16) | (b2 << 8) | b3 of the identify reply
    std::uint32_t flashSize; ///< capacity in bytes
    std::uint16_t flashPage; ///< program page size in bytes
    std::uint8_t chipClass; ///< ChipClass
    std::uint8_t subtype; ///< algorithm within the class
    std::uint16_t delay; ///< erase poll limit (class 0) or erase argument (class 2)
    std::uint16_t xmlLink; ///< editor-only
    std::uint16_t eepromSize; ///< editor-only
    std::uint8_t eepromPage; ///< editor-only
    std::uint8_t voltage; ///< ChipVoltage

    /// True for the end-of-list marker (and every empty slot).
    [[nodiscard]] bool isEnd() const { return names[0] == 0; }
    /// The names text decoded from GBK, up to its terminator (never past the 48 bytes).
    [[nodiscard]] QString namesText() const;
    /// Stores a names text as GBK; false (and nothing stored) when it has no GBK form or needs
    /// more than 47 bytes.
    bool setNamesText(const QString& text);
};
#pragma pack(pop)

static_assert(sizeof(ChipRecord) == 68);
static_assert(offsetof(ChipRecord, names) == 0);
static_assert(offsetof(ChipRecord, chipId) == 48);
static_assert(offsetof(ChipRecord, flashSize) == 52);
static_assert(offsetof(ChipRecord, flashPage) == 56);
static_assert(offsetof(ChipRecord, chipClass) == 58);
static_assert(offsetof(ChipRecord, subtype) == 59);
static_assert(offsetof(ChipRecord, delay) == 60);
static_assert(offsetof(ChipRecord, xmlLink) == 62);
static_assert(offsetof(ChipRecord, eepromSize) == 64);
static_assert(offsetof(ChipRecord, eepromPage) == 66);
static_assert(offsetof(ChipRecord, voltage) == 67);

/// The largest capacity a chip job can handle: the data buffer holds 64 MiB.
inline constexpr std::uint32_t MaxChipCapacity = 64u << 20;

/// Why a chip record cannot describe a real chip.
enum class RecordFlaw {
    CapacityOutOfRange, ///< the capacity is 0 or above MaxChipCapacity
    UnknownClass, ///< the chip class is not 0 to 3
    NoPageSize, ///< a class that programs or erases page by page has page size 0
};

/// What is wrong with a record, or nothing when chip jobs can use it: a capacity from 1 byte to
/// MaxChipCapacity, a chip class from 0 to 3, and a non-zero page size for every class but the
/// 93-series (which the programmer writes word by word). Chip jobs refuse a flawed record before
/// they open the programmer; the chip editor refuses to save one.
[[nodiscard]] std::optional<RecordFlaw> recordFlaw(const ChipRecord& record);
/// The message table entry that says what the flaw is, in a sentence of its own.
[[nodiscard]] MessageKey recordFlawMessage(RecordFlaw flaw);
/// The refusal of a chip command on a flawed record, in a language: what is wrong, then the remedy.
[[nodiscard]] QString recordFlawText(RecordFlaw flaw, int language);

inline constexpr int ChipSlots = 1000;
inline constexpr int ChipRecordSize = 68;

/// The in-memory database: 1000 entries, zero-filled at creation. The list of chips runs from slot 0
/// to the first slot whose names text is empty.
struct ChipTable
{
    std::array<ChipRecord, ChipSlots> entries {};

    ChipRecord& operator[](int i) { return entries[static_cast<size_t>(i)]; }
    const ChipRecord& operator[](int i) const { return entries[static_cast<size_t>(i)]; }
    /// Number of listed chips (entries before the end marker).
    [[nodiscard]] int listedCount() const;
    [[nodiscard]] char* bytes() { return reinterpret_cast<char*>(entries.data()); }
    [[nodiscard]] const char* bytes() const { return reinterpret_cast<const char*>(entries.data()); }
};

} // namespace kestrum

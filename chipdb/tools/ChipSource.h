#pragma once

// The readable source of the chip database (data/chips.csv): its parser and validator, and the
// conversion of its rows into the 68-byte records of the database file. Shared by the mkchipdb
// build tool and by the tests that check the shipped data.

#include "chipdb/ChipRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

namespace kestrum::chipsource {

/// The column titles of the header line, in order.
inline constexpr std::array<const char*, 13> Columns = {
    "type",
    "manufacturer",
    "model",
    "jedec_id",
    "capacity",
    "page",
    "class",
    "subtype",
    "delay",
    "voltage",
    "eeprom_size",
    "eeprom_page",
    "source",
};

/// The chip types, in the order in which the database must introduce them. The type list of the
/// main window is built in database order, and the identify replies "24-series present" and
/// "93-series present" select its second and third entries.
struct ChipType
{
    const char* text;
    ChipClass chipClass;
};
inline constexpr std::array<ChipType, 4> Types = {{
    {"25 SPI Flash", SpiFlash25},
    {"24 EEPROM", I2cEeprom24},
    {"93 EEPROM", MicrowireEeprom93},
    {"25 EEPROM", SpiEeprom25},
}};

/// A database never holds more chips than this: the table has 1000 slots and the last one is
/// needed for the end marker.
inline constexpr int MaxChips = ChipSlots - 1;

/// One chip row of the source.
struct SourceChip
{
    int line = 0; ///< 1-based line number in the source
    QString type;
    QString manufacturer;
    QString model;
    std::uint32_t chipId = 0;
    std::uint32_t capacity = 0;
    std::uint16_t page = 0;
    std::uint8_t chipClass = 0;
    std::uint8_t subtype = 0;
    std::uint16_t delay = 0;
    std::uint8_t voltage = 0; ///< ChipVoltage index
    std::uint16_t eepromSize = 0;
    std::uint8_t eepromPage = 0;
    /// Where the row's facts come from: the public ID tables that list the part's identification
    /// (flashrom, linux, u-boot, sfud) and/or "datasheet:<maker> <document>"
    QString source;
};

struct SourceError
{
    int line = 0; ///< 0 when the error concerns the source as a whole
    QString message;
};

struct ParsedSource
{
    std::vector<SourceChip> chips;
    std::vector<SourceError> errors;
    [[nodiscard]] bool ok() const { return errors.empty(); }
};

/// Parses and validates a whole source text (UTF-8). Blank lines and lines starting with '#' are
/// ignored; the first other line must be the header. Every faulty row yields an error with its
/// line number; rows without errors are returned in source order.
ParsedSource parseChipSource(QByteArrayView text);
/// The same for a file; a file that cannot be read yields one error with line 0.
ParsedSource readChipSourceFile(const QString& path);

/// The shortest chip-erase wait (delay, in status polls of about 100 ms) the source accepts for a
/// 25-series flash of that capacity: 10 s, and 1.6 s per Mbit, the slowest chip erase of the
/// datasheets. Rows under it fail the build.
std::uint32_t minimumFlashDelay(std::uint32_t capacity);

/// The organisation code of a 93-series chip of the given capacity and word width (8 or 16), or 0
/// when there is none.
std::uint8_t microwireCode(std::uint32_t capacity, int wordBits);
/// The capacity in bytes addressed by a 93-series organisation code, or 0 for an unknown code.
std::uint32_t microwireCapacity(std::uint8_t code);

/// The names text of a chip: type, manufacturer and model joined by commas. A part that holds a
/// blank is put in double quotes, so that the main window, which also splits at blanks
/// (NameTokens), still reads it as one name.
QString namesText(const SourceChip& chip);

/// The database record of a chip.
ChipRecord toRecord(const SourceChip& chip);

/// The content of the database file: one record per chip, then a terminator of 68 zero bytes.
QByteArray databaseBytes(const std::vector<SourceChip>& chips);

} // namespace kestrum::chipsource

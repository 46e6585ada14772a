#pragma once

#include <QString>

namespace kestrum {

class IniFile;

/// The settings kept in the INI file beside the executable.
struct Settings
{
    bool formMax = false;
    int formTop = 10;
    int formLeft = 10;
    int formHeight = 500;
    int formWidth = 700;
    int typeIndex = 0; ///< INDEX1
    int makerIndex = 0; ///< INDEX2
    int nameIndex = 0; ///< INDEX3
    int chip = 0; ///< non-zero shows the chip editor entries; read, never written
    int speed = 0;
    int language = 0;
};

/// The settings file of an executable: its path with the extension replaced by ".ini".
QString settingsPathFor(const QString& executablePath);

/// Reads the keys in order; when FormMax is set the geometry keys are not read.
Settings LoadSettings(const IniFile& ini);
/// Writes every key except `chip`, which keeps whatever value the file has.
void SaveSettings(IniFile& ini, const Settings& settings);

} // namespace kestrum

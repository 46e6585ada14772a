#pragma once

#include <QSize>
#include <QString>

namespace kestrum {

class IniFile;
class Reporter;

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
    bool languageStored = true; ///< false: the file has no LANGU key (a first start)
    QString lastFolder; ///< [Folders] Last: where Open and Save start
    bool readTwice = false; ///< [Safety] ReadTwice: Read reads the chip twice and compares
    bool backUp = true; ///< [Safety] Backup: Erase, Write and Auto keep the chip's content first
    QString programmer; ///< [DEVICE] Programmer: the location of the programmer the window uses
};

/// The settings file of an executable: its path with the extension replaced by ".ini".
QString settingsPathFor(const QString& executablePath);

/// Choices of the speed list: SPEED is an index below this.
inline constexpr int SpeedChoices = 6;

/// Reads the keys in order; when FormMax is set the geometry keys are not read. A SPEED or LANGU
/// outside its choices gives the default (the first speed; the language as on a first start) and,
/// with a reporter, a log line that says so.
Settings readSettings(const IniFile& ini, Reporter* reporter = nullptr);
/// Writes every key except `chip`, which keeps whatever value the file has.
void writeSettings(IniFile& ini, const Settings& settings);

/// At close: reads the file again and replaces only the program's own keys in it, so that keys
/// changed by hand while the program ran (a `chip` key added, say) survive, then writes it. A
/// file that cannot be read again (other than a missing one) is not written. A failure is shown
/// in the error box; returns false then.
bool storeSettings(IniFile& ini, const Settings& settings, Reporter& reporter);

/// A restored window size that fits the available screen, at least 1 × 1.
QSize clampWindowSize(QSize wanted, QSize available);

} // namespace kestrum

#pragma once

#include <QString>

#include <functional>

namespace kestrum {

class Reporter;

/// Where the settings file and the chip database of one executable live.
///
/// A portable program (its folder writable and no installed database under
/// `<folder>/../share/kestrum/`) keeps both files beside the executable, named after it. An
/// installed program, or one in a folder it cannot write, keeps the settings in
/// `$XDG_CONFIG_HOME/kestrum/` (default `~/.config`) and the database in `$XDG_DATA_HOME/kestrum/`
/// (default `~/.local/share`), where the chip editor can save it; the database shipped with the
/// program is copied there at the first start.
struct FileLocations
{
    bool portable = true;
    QString settingsFile;
    QString databaseFile; ///< the file the program loads and the chip editor saves
    QString shippedDatabase; ///< the database that came with the program
    /// A copy of the shipped database as it was when last copied: tells an edited user copy from
    /// an untouched one, and a newer shipped database from the same one. Empty when portable.
    QString shippedCopy;
    /// The log that stays: `kestrum.log` beside a portable program, else in
    /// `$XDG_STATE_HOME/kestrum/` (default `~/.local/state`).
    QString logFile;
    /// The automatic backups of chips: `backups/` beside a portable program, else
    /// `$XDG_DATA_HOME/kestrum/backups/`.
    QString backupFolder;
};

/// Reads one environment variable; empty when unset.
using EnvironmentLookup = std::function<QString(const char* name)>;
QString systemEnvironment(const char* name);

FileLocations locateFiles(const QString& executablePath, const EnvironmentLookup& environment = systemEnvironment);
/// The files of the program in that folder, by the window's name (`kestrum`): both faces, the
/// window and the command line beside it, use the same settings, database, log and backups.
FileLocations programFiles(const QString& programFolder, const EnvironmentLookup& environment = systemEnvironment);
/// The database a face loads: the user's copy once there is one, else the one the program brought.
QString databaseToLoad(const FileLocations& files);

enum class DatabaseUpdate {
    Nothing, ///< portable, no shipped database, or the user's copy is current
    Copied, ///< first start: the shipped database copied to the user's folder
    Replaced, ///< a newer shipped database replaced the user's copy (untouched, or the user agreed)
    KeptEdited, ///< a newer shipped database came, the user kept the edited copy
    Failed, ///< the copy could not be made; reported through the error box
};

/// Before the database is loaded: copies the shipped database to the user's folder at the first
/// start, and when the program brings a newer one replaces an untouched copy, or an edited one
/// when `askReplace` (given the user's file) says yes. Each newer database is asked about once.
DatabaseUpdate prepareUserDatabase(
    const FileLocations& files, Reporter& reporter, const std::function<bool(const QString&)>& askReplace);

} // namespace kestrum

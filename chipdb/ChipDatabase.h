#pragma once

#include "chipdb/ChipRecord.h"

#include <QString>

namespace kestrum {

class Reporter;

enum class LoadResult { NoFile, Loaded, Destroyed };

/// The database file of an executable: its path with the extension replaced by ".Dat".
QString databasePathFor(const QString& executablePath);
/// The database file of the running program.
QString databaseFilePath();

/// How an integrity failure is reported: the main window uses the message table entry in the
/// current language, the chip editor a fixed Simplified Chinese text.
enum class IntegrityMessage { MessageTable, EditorFixedText };

/// Reads the database file at path into the table. A missing file changes nothing and shows
/// nothing; a length that is not a multiple of 68 shows the integrity message and changes nothing;
/// otherwise the file's records (at most 1000) are copied from slot 0 on and the slots after them
/// keep what they held. A listed record whose names have no terminator, are no GBK text or do not
/// split into type, manufacturer and name is left out (the records after it move up) and logged
/// once with the slot it had (MsgDatabaseRecordsDamaged). A file that exists but cannot be read, or that is no regular
/// file (a FIFO or a device, never opened, so it cannot block), shows the path and the reason.
LoadResult loadChipDatabaseFile(const QString& path, ChipTable& table, Reporter& reporter,
    IntegrityMessage integrity = IntegrityMessage::MessageTable);

/// The chip editor's integrity text, the same in every language.
QString editorIntegrityText();

/// Writes length bytes as the whole content of the file at path. The old file is replaced only
/// once the new content is complete on disk (every write, the sync and the close checked), so a
/// failed write keeps it; only a regular file is replaced, and a symbolic link is followed only as
/// the protected-symlinks rule allows. A failure is shown in an error box; returns false then.
bool writeDatabaseFile(const QString& path, const char* bytes, qint32 length, Reporter& reporter);

} // namespace kestrum

#pragma once

#include <QString>

namespace kestrum {

/// Keys of the message table. Entries 0..30 keep their numbers; the entries after MsgBlankDone
/// report failed transfers, erase time-outs, refused files and refused chip-editor input.
enum MessageKey : int {
    MsgChipIdNotListed = 0,
    MsgChooseCompatible,
    MsgNoChip,
    MsgChipDetected,
    MsgChipTypeLine,
    MsgChipTypeDetected,
    MsgSelectManually,
    MsgConfigDestroyed,
    MsgFileExists,
    MsgWriteFileError,
    MsgProgrammerFound,
    MsgReady,
    MsgNotConnected,
    MsgErasing,
    MsgReading,
    MsgBlankChecking,
    MsgNotEmpty,
    MsgVerifying,
    MsgVerifyErrorAddress,
    MsgWriting,
    MsgFileTooLong,
    MsgOpenTitle,
    MsgReadDone,
    MsgChipEmpty,
    MsgEraseDone,
    MsgWriteDone,
    MsgBufferEmpty,
    MsgVerifyDone,
    MsgAutoPassed,
    MsgAutoFailed,
    MsgBlankDone,
    // Failure reports.
    MsgTransferFailed, ///< a USB transfer failed or came back short during a job
    MsgEraseTimeout, ///< a whole-chip erase was still busy at the poll limit
    MsgChipTooLarge, ///< a stream would run past the end of the data buffer
    MsgNoPageSize, ///< an EEPROM record with page size 0 cannot be erased page by page
    MsgDatabaseUnreadable, ///< %1 = path, %2 = reason
    MsgDatabaseUnwritable, ///< %1 = path, %2 = reason
    MsgFillRange, ///< a fill range outside the data buffer or reversed
    MsgEditorChooseList, ///< chip editor: %1 = the caption of a list without a selection
    MsgEditorTooManyRows, ///< chip editor: %1 = the most chips, %2 = the chip rows of the grid
    MsgEditorNamesNotGbk, ///< chip editor: %1 = row, %2 = names
    MsgEditorNamesTooLong, ///< chip editor: %1 = row, %2 = names, %3 = bytes, %4 = the most bytes
    MsgNoChipSelected, ///< a chip command while the lists show no chip
    MsgRecordFlawed, ///< a chip command on a record that cannot be right: %1 = what is wrong
    MsgRecordCapacity, ///< what is wrong: the capacity
    MsgRecordClass, ///< what is wrong: the chip class
    MsgRecordPageSize, ///< what is wrong: page size 0
    MsgProgrammerNoAccess, ///< log: the programmer is present, opening it was not permitted
    MsgProgrammerBusy, ///< log: the programmer is present, its interface is claimed elsewhere
    MsgProgrammerWrongStrings, ///< log: %1 = the name a device with the programmer's IDs gives
    MsgProgrammerOpenFailed, ///< log: the programmer is present but cannot be opened: %1 = reason
    MsgCapsuleNoHeader, ///< Save to ".cap" without the header of a capsule opened before
    MsgSaveRefused, ///< a data file not saved: %1 = name, %2 = why (one of the next two)
    MsgNotRegularFile, ///< why: the name is a device, FIFO, socket or folder
    MsgSharedLink, ///< why: a symbolic link that another user placed in a shared sticky folder
    MsgSettingsUnwritable, ///< %1 = path, %2 = reason
    MsgSRecordFilter, ///< the name of the S-record entry of the file dialogs
    MsgEditorRowFlawed, ///< chip editor: %1 = row, %2 = what is wrong with its record
    MsgDiscardChanges, ///< question before Open, Read or Quit drops unsaved buffer changes
    MsgStartSimulatedAbsent, ///< first log line: the simulator was chosen, no programmer is plugged in
    MsgStartSimulatedChosen, ///< first log line: the simulator was asked for
    MsgStartReal, ///< first log line: the real programmer
    MsgNewerDatabase, ///< question: a newer installed database; %1 = the user's edited copy
    MsgDatabaseCopyFailed, ///< the installed database not copied: %1 = target, %2 = reason
    MsgCliNoSuchChip, ///< command line: no chip of the database matches %1
    MsgCliChipCandidates, ///< command line: %1 matches several chips, listed after this line
    MsgCliChooseChip, ///< command line: a chip command without --chip or --detect
    MsgCliUnknownSpeed, ///< command line: %1 is none of the speed list's values
    MsgCliStopped, ///< command line: Ctrl+C ended the command
    MsgCliFileDeclined, ///< command line: %1 exists and the question was not answered with --yes
    MsgCliChipPassed, ///< command line, production: chip %1 passed, serial %2
    MsgCliChipFailed, ///< command line, production: chip %1 failed, serial %2
    MsgCliNextChip, ///< command line, production: take the chip out and put the next one in
    MsgCliSummary, ///< command line, production: %1 chips passed, %2 failed
    MsgChipIdMismatch, ///< question before Write, Erase, Auto: %1 = ID answered, %2 = selected name, %3 = its ID
    MsgChipIdMismatchLog, ///< log before Read, Verify: %1 = ID answered, %2 = selected name, %3 = its ID
    MsgChecksumLog, ///< log after Read and Write: %1 = CRC-32 of the bytes, %2 = their count
    MsgInfoTitle, ///< title of the buffer information box
    MsgInfoUsedLength, ///< buffer information: %1 = used length in bytes
    MsgInfoChipSize, ///< buffer information: %1 = chip size in bytes
    MsgInfoUsedSums, ///< buffer information: %1 = CRC-32, %2 = SHA-256 of the used part
    MsgInfoChipSums, ///< buffer information: %1 = CRC-32, %2 = SHA-256 of the chip-size part
    MsgInfoCopy, ///< buffer information: the Copy button
    MsgSaveLog, ///< log after a completed Save: %1 = the full path
    MsgFillByteLog, ///< log after a fill: %1 = the byte, %2 = start, %3 = end (hex)
    MsgFillWordLog, ///< log after a fill: %1 = the word, %2 = start, %3 = end (hex)
    MsgFillRandomLog, ///< log after a fill: %1 = start, %2 = end (hex)
    MsgJobStopped, ///< log after a job that was stopped before its end
    MsgProgressRate, ///< status panel 4 during a job: %1 = rate, %2 = time left
    MsgStopJobQuestion, ///< closing the window while a job runs
    MsgChipIdLog, ///< detection: %1 = the ID answered
    MsgChooserTitle, ///< title of the chooser of chips sharing an ID
    MsgChooserText, ///< chooser: %1 = number of chips, %2 = the ID
    MsgColumnMaker, ///< chooser column
    MsgColumnName, ///< chooser column
    MsgColumnCapacity, ///< chooser column
    MsgColumnVoltage, ///< chooser column
    MsgButtonOk, ///< button that takes a choice
    MsgButtonCancel, ///< button that drops a choice
    MsgChooserMixedSupply, ///< appended to the chooser's text when its chips need different supplies
    MsgSupplyLog, ///< log before a job on a 1.8 V chip or after a choice among supplies: %1 = chip, %2 = voltage
    MsgSharedSupplyId, ///< log when a chip whose ID chips of both supplies answer is chosen: %1 = chip, %2 = the ID
    MsgFileLineAt, ///< where a data file failed to load: %1 = the file, %2 = the line number
    MsgReadCutShort, ///< log after a stopped or failed read: %1 = bytes arrived, %2 = the chip size
    MsgFileSizes, ///< after the question about a long image: %1 = image bytes, %2 = chip bytes
    MsgNotConnectedHint, ///< log after "Not connected": what to check
    MsgSaveFailedAt, ///< a failed save: %1 = the path, %2 = the system's reason
    MsgTransferFailedAt, ///< after a failed transfer of a stream: %1 = the address reached (hex)
    MsgProgrammerUnplugged, ///< after a failed transfer: the programmer is gone from the bus
    MsgWriteNotStarted, ///< log: a question before writing was answered No; the question follows
    MsgDetectedChip, ///< after the wrong-chip question: %1 = the listed chip (or the ID) that answered
    MsgUseChip, ///< button: select %1, the chip that answered, and go on with it
    MsgKeepChip, ///< button: go on with %1, the selected chip
    MsgAllSupportedFiles, ///< the first entry of the Open dialog's filter
    MsgEditorDiscardRows, ///< chip editor: closing with rows changed and not saved
    MsgFileUnreadable, ///< a data file could not be read to its end: %1 = the system's reason
    MsgDatabaseRecordsDamaged, ///< log: damaged chip records were left out: %1 = their slots
    MsgVerifyLongerFile, ///< question before Verify: the image is %1 bytes longer than the chip
    MsgCliStoppedBySignal, ///< command line: a signal other than Ctrl+C ended the command: %1 = its name
    MsgJobLogUnwritable, ///< command line: a job log line could not be written: %1 = file, %2 = reason
    MsgSettingOutOfRange, ///< log: %1 = key, %2 = its value, %3 = settings file; the default is used
    MsgPasteHexRefused, ///< Paste hex text: the clipboard holds no hexadecimal bytes
    MsgFindNotFound, ///< Find: no match anywhere in the data
    MsgFindWrapped, ///< Find: the match lies past the end (or the start); the search went round
    MsgFindCount, ///< Find: %1 = the number of matches
    MsgFindBadHex, ///< Find: the text holds no hexadecimal bytes
    MsgFindNoCodePage, ///< Find: the view's code page has no character for some of the text
    MsgReplaceSizeRefused, ///< Replace: %1 = pattern length, %2 = replacement length
    MsgReplaceReadOnly, ///< Replace: the view is read-only while a job runs
    MsgReplacedCount, ///< Replace all: %1 = the number replaced
    MsgAddressInvalid, ///< Go to, Select range: %1 = the text that is no address
    MsgGoToClamped, ///< Go to: %1 = the address asked for, %2 = the last address, %3 = where the caret went
    MsgRangeOutside, ///< Select range: %1 = start, %2 = end, %3 = the last address
    // Compare, confirmed reads, backups, writes onto a chip that holds data, the log file.
    MsgCompareEqual, ///< log and box: %1 = bytes compared
    MsgCompareDifferent, ///< log and box: %1 = differing bytes, %2 = ranges
    MsgReadsDiffer, ///< two reads differ: %1 = bytes, %2 = ranges, %3 = the next lower speed
    MsgReadsDifferSlowest, ///< two reads differ at the lowest speed: %1 = bytes, %2 = ranges
    MsgReadsAgree, ///< log: the second read equals the first
    MsgBackupWritten, ///< log: %1 = the backup file
    MsgBackupExists, ///< log: %1 = the backup that holds the same content already
    MsgBackupBlank, ///< log: the chip is blank, no backup file
    MsgBackupFailed, ///< box: %1 = backup file, %2 = reason; the job ends before the chip changes
    MsgBackupTrimmed, ///< log: %1 = a backup removed to keep the folder within its limit
    MsgChipNotBlank, ///< question before Write onto a flash that holds data
    MsgButtonEraseAndWrite, ///< button: erase the chip, then write
    MsgButtonWriteAnyway, ///< button: write without erasing
    MsgLogFileUnwritable, ///< log, once: %1 = the log file, %2 = reason
    MsgCompareTitle, ///< the compare result's window title
    MsgCompareMoreRanges, ///< below the list: %1 = ranges not listed
    MsgCompareColumnStart, ///< list column
    MsgCompareColumnEnd, ///< list column
    MsgCompareColumnLength, ///< list column
    MsgGangChipPassed, ///< gang run: %1 = location, %2 = chip number, %3 = chip ID, %4 = serial, %5 = seconds
    MsgGangChipFailed, ///< gang run: as MsgGangChipPassed, for a chip that failed
    MsgGangSummary, ///< gang run: %1 = programmers, %2 = chips passed, %3 = failed
    MsgCliSeveralProgrammers, ///< command line: several programmers and no --programmer; the list follows
    MsgCliNoProgrammers, ///< command line, programmers: none is attached
    MsgProgrammerDetectedAt, ///< log: the probe found the programmer at %1 (several are attached)
    MsgReadyAt, ///< status panel 1: ready, with the programmer's location %1 (several are attached)
    MsgGangWindowTitle, ///< the window that programs all programmers at once
    MsgGangStart, ///< its button that starts the run
    MsgGangStop, ///< its button that stops every socket
    MsgGangPass, ///< a tile: the chip passed
    MsgGangFail, ///< a tile: the chip failed
    MsgGangSerial, ///< a tile: %1 = the chip's serial number
    MessageCount
};

/// Number of the entries with fixed numbers; the failure reports follow them.
inline constexpr int FixedMessageCount = 31;
static_assert(MsgBlankDone + 1 == FixedMessageCount && MsgTransferFailed == FixedMessageCount,
    "entries 0..30 keep their numbers");
inline constexpr int LanguageCount = 3;
inline constexpr int EnglishLanguage = 2;

/// A language index that is safe to index the tables with: values outside 0..2 count as 0.
int normalizedLanguage(int language);

/// Text of an entry in a language (0 Simplified Chinese, 1 Traditional Chinese, 2 English).
QString messageText(MessageKey key, int language);

} // namespace kestrum

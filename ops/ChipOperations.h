#pragma once

#include "base/Reporter.h"
#include "buffer/ByteCompare.h"
#include "buffer/DataBuffer.h"
#include "chipdb/ChipRecord.h"
#include "link/UsbLink.h"
#include "ops/ChipProgrammer.h"
#include "ops/JobView.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace kestrum {

class ChipSelection;

/// What the chip commands need of the main window beyond the job display.
class OperationsHost
{
public:
    virtual ~OperationsHost() = default;
    /// The selected chip record.
    [[nodiscard]] virtual const ChipRecord& currentRecord() const = 0;
    /// Index of the speed list as one byte (no selection gives 0xFF).
    [[nodiscard]] virtual int speedIndex() const = 0;
    /// The three auto options: Erase, Program, Verify.
    [[nodiscard]] virtual bool autoErase() const = 0;
    [[nodiscard]] virtual bool autoProgram() const = 0;
    [[nodiscard]] virtual bool autoVerify() const = 0;
    /// Takes the hex view's edits into the data buffer when the view was modified.
    virtual void takeViewEdits() = 0;
    /// Status panel 3: the elapsed time of the last run.
    virtual void setElapsedText(const QString& text) = 0;

    // Detection.
    [[nodiscard]] virtual const ChipTable& chipTable() const = 0;
    [[nodiscard]] virtual const ChipSelection& selection() const = 0;
    /// `selectByIndices` of the main window (lists shown in the combo boxes).
    virtual int selectByIndices(int typeIndex, int makerIndex, int nameIndex) = 0;
    /// The persisted selection indices.
    virtual void setSelectionIndices(int typeIndex, int makerIndex, int nameIndex) = 0;
    [[nodiscard]] virtual int typeIndex() const = 0;
    [[nodiscard]] virtual int makerIndex() const = 0;
    [[nodiscard]] virtual int nameIndex() const = 0;
};

/// How the last chip command ended, for callers without a window (the command line) that answer
/// with a status instead of boxes. Every outcome but Done has been shown already.
enum class CommandOutcome {
    Done, ///< the routine ran to its end (a read may still have found the chip empty)
    Refused, ///< no chip selected, a flawed record, or an empty buffer: no job was opened
    NoProgrammer, ///< "Not connected"
    NoChip, ///< the socket is empty (or answers all zeros or all ones)
    Declined, ///< the image is longer than the chip and the question was answered No
    WrongChip, ///< the chip answers another ID than the selected flash's and the question was answered No
    Different, ///< blank check or verify found a difference
    Failed, ///< the programmer did not answer as it must
    Stopped, ///< the user stopped the job before its end
    NotBlank, ///< Write found data on the flash and the question about it was answered Cancel
};

/// Elapsed time as "hh:mm:ss" (hours keep all their digits past 99).
QString formatElapsed(qint64 milliseconds);

/// The six chip commands, chip detection and the programmer probe, with the busy guard that keeps
/// a second command or a probe from starting while a command holds the programmer. Every command,
/// detection included, first checks that a chip is selected and that its record can be right;
/// otherwise it says so and opens no job.
class ChipOperations
{
public:
    ChipOperations(UsbLink& usb, ChipProgrammer& programmer, Reporter& reporter, DataBuffer& buffer, JobView& view,
        OperationsHost& host);

    void read();
    void erase();
    void write();
    void verify();
    void blankCheck();
    void autoRun();
    /// "Test": identifies the chip in the socket and selects it. A 25-series flash identification
    /// is logged and looked up among the listed SPI flash records only; one of all zeros or all
    /// ones means that no chip answered ("No chips detected..."). When several records answer it,
    /// the user chooses one (the chip shown preselected when it is among them, else the first, or
    /// none when they need different supplies, whatever chip is shown, and the choice is logged
    /// with its voltage); a cancelled choice changes nothing.
    void detect();
    /// The user chose the chip shown in the lists: when chips of different supplies answer its
    /// ID, the log says once that the marking decides.
    void chipChosen();
    /// The chip shown was named by the user for this command (the command line's --chip): detection
    /// takes it where it answers the ID, even among chips of different supplies.
    void setShownChipNamed(bool named) { m_shownChipNamed = named; }
    /// Compare: reads the chip into memory of its own and compares it with DataBuffer over the
    /// chip's size (the view's edits taken first); DataBuffer stays as it is. The log tells the
    /// count of differing bytes and ranges, onComparison shows the ranges. Outcome Done when
    /// equal, Different otherwise.
    void compare();
    /// The result of the last Compare, or of the last confirmed read that found differences.
    [[nodiscard]] const Comparison& lastComparison() const { return m_comparison; }
    /// Shows a comparison that found differences (the window's list, the command line's lines).
    std::function<void(const Comparison&)> onComparison;
    /// Read reads the chip twice: when the reads differ, the first stays in DataBuffer, the
    /// ranges are shown as Compare shows them, the error box names the next lower speed, and the
    /// outcome is Different. Auto, whose verify is a second read already, is not changed.
    void setReadTwice(bool twice) { m_readTwice = twice; }
    [[nodiscard]] bool readsTwice() const { return m_readTwice; }
    /// Erase, Write and Auto first read the chip and keep it in this folder (BackupFolder), in
    /// the same job, before anything changes; a read that fails or is stopped ends the job there.
    /// Empty: no backups.
    void setBackupFolder(const QString& folder) { m_backupFolder = folder; }
    [[nodiscard]] const QString& backupFolder() const { return m_backupFolder; }
    /// Follows the chip's name in the backups' file names (the programmer's location when several
    /// programmers back up at once); empty: nothing.
    void setBackupLabel(const QString& label) { m_backupLabel = label; }

    /// Stop: the running job ends at its next block (a whole-chip erase once the chip is done),
    /// cleanly (end command, link closed), and the log says "Stopped" instead of the completion
    /// line; Auto runs no further step. Nothing happens when no job runs.
    void stop() { m_programmer.requestStop(); }
    /// The window's log tells how every run ended: the error boxes of the chip commands are
    /// logged too. The command line, which prints both, leaves it off.
    void setErrorBoxesLogged(bool logged) { m_logErrorBoxes = logged; }

    /// The probe: shows "Ready" (and logs that the programmer was found) or "Not connected"; a
    /// programmer that is there but cannot be opened is told of in the log once
    /// (ChipProgrammer::openProgrammer). While a command runs it is put off and runs once when the
    /// command ends.
    void probeProgrammer();

    /// How the last command (read, erase, write, verify, blankCheck, autoRun, detect) ended.
    [[nodiscard]] CommandOutcome lastOutcome() const { return m_outcome; }

    /// True while a command runs (from its first check to its last message).
    [[nodiscard]] bool isBusy() const { return m_busy; }
    /// True while a command runs or a job holds the programmer: no other command, probe or close
    /// may start then.
    [[nodiscard]] bool holdsProgrammer() const { return m_busy || m_programmer.isJobOpen(); }
    /// Runs f unless a command runs; false when refused. Other commands that touch the buffer
    /// (Open, Save, Fill) go through this as well.
    bool runExclusive(const std::function<void()>& f);
    /// Called when the command has ended (the main window closes itself then if asked to meanwhile).
    std::function<void()> onIdle;

private:
    enum class Presence { Present, Stop };
    enum class DataNeed { None, Image };
    enum class Identify { Always, ExceptSpiEeprom };
    /// Where the completion line goes: after the time, before it, or (for a routine that changes
    /// the chip) only once the end command went through as well; or none (Compare, whose line
    /// tells what it found).
    enum class LineOrder { AfterTime, BeforeTime, AfterEnd, NoLine };
    /// What a flash that answers another ID than the selected record's leads to: a question that
    /// can select the chip that answered or end the command before anything is sent, or nothing.
    enum class IdMismatch { Ask, Ignore };
    using Routine = JobResult (ChipProgrammer::*)(const ChipRecord&);
    using ChipPart = std::function<JobResult(const ChipRecord&)>;

    /// A chip is selected: the lists show a chip and its record can be right (recordFlaw). Otherwise
    /// says what is missing or wrong and returns false; no job is opened then.
    bool chipSelected();
    /// The checks before a job: the selected chip, the view's edits and a non-empty buffer for
    /// commands that need an image, then the chip-present check. False when the command ends here
    /// (its box is shown).
    bool preconditionsMet(DataNeed data, Identify identify, IdMismatch mismatch);
    /// One timed routine in a job frame, with its completion line on success; Failed when the
    /// set-up exchange failed, no result when the programmer could not be opened.
    std::optional<JobResult> runTimedRoutine(Routine routine, MessageKey doneLine, LineOrder order);
    /// runTimedRoutine for a chip part of several routines.
    std::optional<JobResult> runTimedPart(const ChipPart& part, MessageKey doneLine, LineOrder order);

    // Safeguards (ChipSafeguards.cpp).
    /// Read's chip part: the read, and with readsTwice the second read and its comparison.
    JobResult readPart(const ChipRecord& record);
    /// The backup read and file before a change of the chip, when a backup folder is set: Done to
    /// go on (the chip's content is then held in m_chipCopy), else how the job ends.
    JobResult backUpChip(const ChipRecord& record);
    /// Write's chip part: the backup, the question about a flash that holds data where the image
    /// goes (erasing first when asked to), the write.
    JobResult writePart(const ChipRecord& record);
    /// Logs a comparison's result and shows its ranges when there are any.
    void reportComparison(const Comparison& comparison);
    /// Lets the chip copy go: it can hold 64 MiB.
    void dropChipCopy();
    /// Logs the CRC-32 of buffer bytes 0 .. length-1 (what a Read or Write moved).
    void logChecksum(std::uint32_t length);
    /// Identifies the chip first; Stop when no chip sits in the socket (reply kind 0, or a kind-1
    /// identification of all zeros or all ones) or the exchange failed, and when the chip answers
    /// another ID than the selected flash's and the question about it was answered No.
    Presence checkChipPresent(IdMismatch mismatch);
    /// A real flash ID that differs from the selected SPI flash record's: asks whether to use the
    /// chip that answered (when a listed chip has its ID), keep the selected one, or cancel. False
    /// when the command ends here; the log then says why.
    bool acceptIdentification(const quint8 reply[4], IdMismatch mismatch);
    /// beginJob, the chip part when the job opened, endJob in every case (also when the
    /// chip part throws). Returns how beginJob ended; m_jobEnded tells whether the end command went
    /// through.
    JobStart runFrame(const std::function<void()>& chipPart);
    /// A routine that changed the chip ended Done but the end command failed: the programmer may
    /// not have finished, so the failure is shown and the result becomes Failed.
    void failOnLostEnd(JobResult& result);
    /// runExclusive for a chip command: its error boxes are logged too when asked, and a stopped
    /// routine leaves the line "Stopped".
    void runChipCommand(const std::function<void()>& f);
    /// The used buffer is empty: says so and ends the command.
    bool refuseEmptyBuffer();
    void startStopwatch();
    /// Shows the time since startStopwatch in panel 3 and beeps.
    void stopStopwatch();
    bool isSpiEeprom() const;
    void identifiedChip(const quint8 reply[4]);
    /// Logs the supply voltage of the record a job or a choice uses.
    void logSupply(const ChipRecord& record);
    /// The listed 25-series flash records (slots) with that JEDEC ID.
    [[nodiscard]] std::vector<int> listedFlashes(std::uint32_t id) const;
    /// The only candidate, or the one the user chooses; none when the choice was cancelled.
    std::optional<int> chooseDetected(const std::vector<int>& candidates, const QString& idText);
    /// Selects the chip of that slot through the three lists.
    void selectSlot(int slot);
    /// The chooser of the listed chips (slots) that answer the identification id; preselected is
    /// a slot or -1 for none. Chips of different supplies show the voltage as the first column.
    [[nodiscard]] UserInterface::Choice chipChoice(
        const std::vector<int>& candidates, int preselected, const QString& id) const;

    UsbLink& m_usb;
    ChipProgrammer& m_programmer;
    Reporter& m_reporter;
    DataBuffer& m_buffer;
    JobView& m_view;
    OperationsHost& m_host;
    bool m_busy = false;
    bool m_probePending = false;
    std::optional<bool> m_probeConnected; ///< what the last probe found; none before the first
    QString m_probeLocation; ///< the programmer the last probe looked for; empty for any
    QElapsedTimer m_stopwatch;
    CommandOutcome m_outcome = CommandOutcome::Done;
    bool m_logErrorBoxes = false;
    /// The end command of the last job frame went through.
    bool m_jobEnded = true;
    Comparison m_comparison;
    bool m_readTwice = false;
    /// The chip shown whose shared ID the log has told of; -1 for none.
    int m_sharedSupplyTold = -1;
    bool m_shownChipNamed = false;
    QString m_backupFolder;
    QString m_backupLabel;
    /// The chip's content as the backup read found it; empty when no backup read ran.
    std::vector<quint8> m_chipCopy;
    /// Write found data on the flash and the user cancelled.
    bool m_notBlankDeclined = false;
};

} // namespace kestrum

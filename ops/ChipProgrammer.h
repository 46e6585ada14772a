#pragma once

#include "link/CommandBlock.h"
#include "link/UsbLink.h"
#include "ops/JobView.h"

#include "base/Reporter.h"
#include "buffer/DataBuffer.h"
#include "chipdb/ChipRecord.h"

#include <QElapsedTimer>
#include <QtGlobal>

#include <functional>
#include <optional>
#include <vector>

namespace kestrum {

/// How a chip routine ended. Every outcome other than Done has been shown to the user already
/// (an error box, or the question the user answered), so callers only decide whether to log the
/// completion line and whether to go on.
enum class JobResult {
    Done, ///< ran to the end: the chip was read, erased or written; blank; equal to the buffer
    Declined, ///< writeChip only: the image is longer than the chip and the user answered No;
              ///< nothing was sent, status text and lock stay until endJob
    Different, ///< blankCheckChip: a byte is not 0xFF; verifyChip: a byte differs ("Flash check
               ///< error address:...")
    Failed, ///< the programmer did not answer as it must (a transfer failed or moved fewer bytes
            ///< than asked, an erase did not finish), or the routine refused the record
            ///< (too large for the data buffer, EEPROM page size 0)
    Stopped, ///< the user asked the job to stop (requestStop) and the routine ended at the next
             ///< block or poll; nothing was shown
};

/// How beginJob ended: a job opened for the chip's class, or why none was.
enum class JobStart {
    SpiFlash, ///< class 0
    I2cEeprom, ///< class 1
    Other, ///< classes 2 and 3 (and unknown classes)
    NotOpened, ///< the programmer could not be opened; "Not connected" was shown
    Busy, ///< a job is already open: nothing was done, and the caller must not call endJob
    SetupFailed, ///< the programmer was opened but the set-up exchange failed; "Programmer
                 ///< communication failed." was shown
};

/// True when the job is open and the chip part may run.
[[nodiscard]] constexpr bool jobOpened(JobStart start)
{
    return start == JobStart::SpiFlash || start == JobStart::I2cEeprom || start == JobStart::Other;
}

/// How identifyChip ended.
enum class Identification {
    Done, ///< the reply bytes are filled
    NoProgrammer, ///< nothing shown, reply untouched
    Failed, ///< the exchange failed; "Programmer communication failed." was shown, reply untouched
    Busy, ///< a job is open: nothing was done
};

/// The programmer's command protocol and the chip routines of the main window, without the
/// window: what the program says to the programmer over UsbLink, and what it shows while doing so
/// through Reporter (boxes, question, texts in the current language) and JobView (status text, lock,
/// progress bar, hex view).
///
/// Calling order for one user operation: optionally identifyChip (a complete job of its own), then
/// beginJob, then any of eraseChip, writeChip, verifyChip, readChip, blankCheckChip, then
/// endJob, which is called whatever beginJob returned, except JobStart::Busy.
///
/// A job pumps the window's events between blocks, so a menu item or a device-change probe can run
/// in the middle of it. Callers check isJobOpen() first and start nothing (no command, no
/// connection probe) while it is true.
class ChipProgrammer
{
public:
    /// Every pause between two pumps of the window's events during a stream, in milliseconds.
    static constexpr int DefaultPumpIntervalMs = 15;
    /// Status polls of a whole-chip erase are this far apart.
    static constexpr int ErasePollPauseMs = 50;
    /// One status poll of a whole-chip erase: its pause plus the reply pause of the status command.
    /// A record's delay counts these cycles, so an erase of N ms needs a delay of N / cycle, rounded up.
    static constexpr int ErasePollCycleMs = ErasePollPauseMs + UsbLink::ReplyPauseMs;
    /// A 24-series EEPROM finishes its last page this long after the last block.
    static constexpr int I2cWriteSettleMs = 100;

    ChipProgrammer(UsbLink& usb, Reporter& reporter, DataBuffer& buffer, JobView& view);

    /// Opens the programmer (UsbLink::open): true when it is open. When a device with the programmer's
    /// ids is there but cannot be opened (no device access, interface busy, wrong strings, another
    /// error), the log says why, once for as long as that cause lasts: the line comes again only
    /// after the programmer was opened or was absent in between, or for another cause.
    bool openProgrammer();

    /// Opens the programmer, locks the window and sends the chip set-up. Returns the chip's class,
    /// NotOpened after showing "Not connected", SetupFailed after showing "Programmer
    /// communication failed.", or Busy.
    JobStart beginJob(const ChipRecord& record, int speedIndex);
    /// Sends the end command, closes the link, unlocks the window. Status panel 1 then shows
    /// "Ready" when the job ended with the programmer present, and "Not connected" when the job
    /// could not open it or lost it (a transfer found the device gone). Safe when no job is open
    /// (the send and the close then do nothing). On a link that has faulted the end command gets
    /// the transport's short time-out. True when the end command went out whole.
    bool endJob();
    /// A complete identify job: open, identify, endJob.
    Identification identifyChip(const ChipRecord& record, int speedIndex, quint8 reply[4]);

    /// Erases the chip by its class. Failed after an error box when a transfer failed, when a
    /// whole-chip erase is still busy at the poll limit ("erase timeout"), when an EEPROM record
    /// has page size 0 or pages past the data buffer's size, or for a chip class outside 0 to 3
    /// (nothing is sent then).
    JobResult eraseChip(const ChipRecord& record);
    /// OP_TRANSFER at that address, its reply read when asked. True when the command went out
    /// whole and, when asked for, a whole reply came back.
    bool startTransfer(quint32 address, bool readReply);
    /// OP_RAW with that instruction, reply read. True as for startTransfer.
    bool sendSpiInstruction(quint8 instruction);

    /// Reads the whole chip into DataBuffer, sets its used length (end of the non-0xFF data,
    /// rounded up to even) and refreshes the hex view with chip-size bytes. A read that fails once
    /// the stream has been asked for (a transfer failed or moved fewer bytes than asked) keeps only
    /// what arrived: the rest of the chip's span becomes 0xFF, the used length is taken over the
    /// bytes that arrived alone, the hex view is refreshed with that used length, and Failed is
    /// returned. An error that escapes the read (from the window's event handling) leaves the
    /// buffer in the same state, without touching the view.
    JobResult readChip(const ChipRecord& record);
    /// Reads the first length bytes of the chip (whole blocks) into target, which is resized to
    /// them, showing that status text: the second read of a confirmed read, Compare, the backup
    /// and the blank check before a write. DataBuffer and the hex view stay as they are. Done,
    /// Failed after the error box, Stopped.
    JobResult readInto(const ChipRecord& record, std::vector<quint8>& target, quint32 length, MessageKey status);
    /// Done when every byte is 0xFF, Different at the first other byte ("The chip is not empty.").
    /// Like the other streams, it refuses a chip whose whole blocks pass the data buffer's size.
    JobResult blankCheckChip(const ChipRecord& record);
    /// Compares the chip with DataBuffer up to the smaller of the chip size and the used length,
    /// whole blocks. Done when equal, Different at the first difference. An image longer than the
    /// chip is compared only after the question that says how many bytes stay uncompared
    /// (MsgVerifyLongerFile) was answered Yes, or a Write of the same job accepted the longer
    /// image; No gives Different without a transfer.
    JobResult verifyChip(const ChipRecord& record);
    /// Writes DataBuffer (used length rounded up to whole pages, stored back). Declined when the
    /// image is longer than the chip and the user answers No.
    JobResult writeChip(const ChipRecord& record);
    /// The question before writing an image longer than the chip (its used length grown to
    /// whole pages), asked once a job: true when the image fits or the answer was Yes; No is
    /// logged ("Write not started: ...").
    bool acceptLongerImage(const ChipRecord& record);

    /// True between beginJob and endJob, and during identifyChip.
    [[nodiscard]] bool isJobOpen() const { return m_jobOpen; }

    /// Asks the running routine to end at its next block (a stream, a page erase) with Stopped; a
    /// whole-chip erase, which no command interrupts, ends Stopped once the chip is done. The job
    /// itself still ends through endJob. Ignored when no job is open; every job starts
    /// without a request.
    void requestStop()
    {
        if (m_jobOpen)
            m_stopRequested = true;
    }
    [[nodiscard]] bool stopRequested() const { return m_stopRequested; }

    /// Block size of the data streams: the page size, at least 64.
    [[nodiscard]] static quint32 blockSize(const ChipRecord& record);

    /// Sets how often the window's events are pumped during a stream; 0 pumps after every block.
    void setPumpInterval(int milliseconds) { m_pumpIntervalMs = milliseconds; }

private:
    [[nodiscard]] ByteOrder byteOrder() const;
    /// Sends a command and, when asked, reads its reply into the block. True when the whole block
    /// went out and, when asked, a whole reply came back.
    bool exchange(CommandBlock& block, bool readReply);
    /// True when a stream of that length in whole blocks stays inside DataBuffer; otherwise shows
    /// "chip too large".
    bool fitsBuffer(quint32 length, quint32 block);
    /// Steps 2 to 4 of every stream: 0xB7 for chips above 16 MiB, the progress bar, the transfer
    /// start. False after a failed exchange (the failure is already reported).
    bool beginStream(const ChipRecord& record, quint32 length, bool readReply);
    /// Between blocks: moves the progress bar and pumps events when the pump interval has passed.
    void tick(quint32 position);
    /// The normal end of a stream: the bar at the last block, then back to 0 and hidden.
    void endStream(quint32 lastBlockOffset);
    /// The read stream of `length` bytes into `target` (whole blocks), with progress and Stop;
    /// `arrived` counts the bytes that came, also when the read ends early.
    JobResult readBlocks(const ChipRecord& record, quint32 length, quint32 block, quint8* target, quint64& arrived);
    /// Reports a failed transfer and hides the progress bar.
    /// The communication failure, with the address a stream reached and whether the programmer
    /// left the bus.
    JobResult transferFailed(std::optional<quint64> address = std::nullopt);
    /// Hides the progress bar after a stop request: the routine ends Stopped.
    JobResult stopped();
    /// Checks one block read from the chip at that offset; false after showing the difference.
    using BlockCheck = std::function<bool(const std::vector<quint8>& block, quint64 offset)>;
    /// Reads the stream in whole blocks (the block buffer first filled with fill) and checks each:
    /// Done after the last block, Different at the first block the check refuses, Failed when a
    /// transfer fails.
    JobResult compareStream(quint32 length, quint32 block, quint8 fill, const BlockCheck& check);
    /// Used length of a freshly read chip image whose first span bytes came from the chip.
    [[nodiscard]] qint32 usedLengthAfterRead(quint32 span) const;
    /// After a read that ended early: bytes from arrived to length become 0xFF, and the used
    /// length is taken over the bytes that arrived.
    void keepOnlyWhatArrived(quint32 length, quint64 arrived);

    UsbLink& m_usb;
    Reporter& m_reporter;
    DataBuffer& m_buffer;
    JobView& m_view;
    bool m_jobOpen = false;
    bool m_stopRequested = false;
    /// The last job could not open the programmer: endJob shows "Not connected".
    bool m_openFailed = false;
    /// A Write of this job was told to write only the part of a longer image that fits the chip.
    bool m_longerImageAccepted = false;
    /// The open failure the log has told of; None once the programmer was opened or was absent.
    UsbLink::OpenProblem m_reportedProblem;
    int m_pumpIntervalMs = DefaultPumpIntervalMs;
    QElapsedTimer m_pumpClock;
};

} // namespace kestrum

#include "ops/ChipProgrammer.h"

#include "link/LinkLog.h"

#include <QLocale>

#include <algorithm>
#include <cstring>
#include <vector>

namespace kestrum {

namespace {

// Chips above 16 MiB need 4-byte addresses; the programmer is told so before every stream.
constexpr quint32 ThreeByteAddressLimit = 0x1000000;
constexpr quint32 MinimumBlock = 64;
static_assert(MaxChipCapacity == BufferCapacity, "a sane chip record fits the data buffer");

} // namespace

ChipProgrammer::ChipProgrammer(UsbLink& usb, Reporter& reporter, DataBuffer& buffer, JobView& view)
    : m_usb(usb)
    , m_reporter(reporter)
    , m_buffer(buffer)
    , m_view(view)
{
}

quint32 ChipProgrammer::blockSize(const ChipRecord& record)
{
    return std::max<quint32>(record.flashPage, MinimumBlock);
}

ByteOrder ChipProgrammer::byteOrder() const
{
    return byteOrderForReadEndpoint(m_usb.readEndpoint());
}

bool ChipProgrammer::exchange(CommandBlock& block, bool readReply)
{
    int written = 0;
    const int result = m_usb.sendCommand(block.data(), CommandBlock::Size, readReply, &written);
    const bool ok = written == CommandBlock::Size && (!readReply || result == CommandBlock::Size);
    if (!ok)
        qCWarning(lcLink) << "command" << block[1] << "failed: written" << written << "result" << result;
    return ok;
}

bool ChipProgrammer::openProgrammer()
{
    using Failure = UsbLink::OpenFailure;
    const bool opened = m_usb.open(UsbLink::ProgrammerVendorId, UsbLink::ProgrammerProductId) != 0;
    const UsbLink::OpenProblem& problem = m_usb.openProblem();
    if (problem.failure == Failure::None || problem.failure == Failure::Absent) {
        m_reportedProblem = {};
        return opened;
    }
    if (problem == m_reportedProblem)
        return opened;
    m_reportedProblem = problem;
    switch (problem.failure) {
    case Failure::NoAccess:
        m_reporter.addLogLine(MsgProgrammerNoAccess);
        break;
    case Failure::Busy:
        m_reporter.addLogLine(MsgProgrammerBusy);
        break;
    case Failure::WrongStrings:
        // The transport folds the string to one byte per character.
        m_reporter.addLogLine(m_reporter.message(MsgProgrammerWrongStrings).arg(QString::fromLatin1(problem.detail)));
        break;
    default:
        m_reporter.addLogLine(m_reporter.message(MsgProgrammerOpenFailed).arg(QString::fromLocal8Bit(problem.detail)));
        break;
    }
    return opened;
}

JobStart ChipProgrammer::beginJob(const ChipRecord& record, int speedIndex)
{
    if (m_jobOpen)
        return JobStart::Busy;
    if (!openProgrammer()) {
        m_openFailed = true;
        m_reporter.showError(MsgNotConnected);
        m_reporter.addLogLine(MsgNotConnectedHint);
        return JobStart::NotOpened;
    }
    m_openFailed = false;
    m_jobOpen = true;
    m_stopRequested = false;
    m_longerImageAccepted = false;
    m_view.setControlsLocked(true);

    CommandBlock setup = CommandBlock::setup(record, clockByte(record, speedIndex, false), byteOrder());
    if (!exchange(setup, true)) {
        m_reporter.showError(MsgTransferFailed);
        return JobStart::SetupFailed;
    }
    switch (record.chipClass) {
    case SpiFlash25:
        return JobStart::SpiFlash;
    case I2cEeprom24:
        return JobStart::I2cEeprom;
    default:
        return JobStart::Other;
    }
}

bool ChipProgrammer::endJob()
{
    CommandBlock end = CommandBlock::end();
    // The job is over either way; a failed end command has nothing left to spoil. After a failed
    // transfer the programmer may be gone or hung, so the end command then waits only briefly: a
    // dead programmer costs one full time-out per job, not two.
    const int timeout = m_usb.linkFaulted() ? UsbLink::ShortTimeoutMs : UsbLink::BulkTimeoutMs;
    const bool ended = m_usb.sendCommand(end.data(), CommandBlock::Size, false, nullptr, timeout) == CommandBlock::Size;
    // "Ready" only when the programmer was there to the end of the job.
    const bool present = !m_openFailed && !m_usb.deviceVanished();
    m_usb.close();
    m_view.setControlsLocked(false);
    m_view.setStatusText(m_reporter.message(present ? MsgReady : MsgNotConnected));
    m_openFailed = false;
    m_jobOpen = false;
    m_stopRequested = false;
    return ended;
}

Identification ChipProgrammer::identifyChip(const ChipRecord& record, int speedIndex, quint8 reply[4])
{
    if (m_jobOpen)
        return Identification::Busy;
    if (!openProgrammer())
        return Identification::NoProgrammer;
    m_jobOpen = true;
    m_view.setControlsLocked(true);

    CommandBlock identify = CommandBlock::identify(record, clockByte(record, speedIndex, true), byteOrder());
    const bool ok = exchange(identify, true);
    endJob();
    if (!ok) {
        m_reporter.showError(MsgTransferFailed);
        return Identification::Failed;
    }
    std::memcpy(reply, identify.data(), 4);
    return Identification::Done;
}

bool ChipProgrammer::startTransfer(quint32 address, bool readReply)
{
    CommandBlock block = CommandBlock::transfer(address, byteOrder());
    return exchange(block, readReply);
}

bool ChipProgrammer::sendSpiInstruction(quint8 instruction)
{
    CommandBlock block = CommandBlock::raw(instruction);
    return exchange(block, true);
}

JobResult ChipProgrammer::eraseChip(const ChipRecord& record)
{
    const bool pageErase = record.chipClass == I2cEeprom24 || record.chipClass == SpiEeprom25;
    // Page by page with a page size of 0 would never get anywhere.
    if (pageErase && record.flashPage == 0) {
        m_reporter.showError(MsgNoPageSize);
        return JobResult::Failed;
    }
    // A page erase covers at most what a stream may: the pages of a chip that fits the buffer.
    if (pageErase && !fitsBuffer(record.flashSize, record.flashPage))
        return JobResult::Failed;
    // No erase is known for another class: nothing is sent, and nothing was erased.
    if (record.chipClass > SpiEeprom25) {
        m_reporter.showError(recordFlawText(RecordFlaw::UnknownClass, m_reporter.language()));
        return JobResult::Failed;
    }
    m_view.setStatusText(m_reporter.message(MsgErasing));

    switch (record.chipClass) {
    case SpiFlash25: {
        m_view.showProgress(record.delay, ProgressUnit::Polls);
        CommandBlock block = CommandBlock::erase(CommandBlock::WholeChipErase, byteOrder());
        if (!exchange(block, false))
            return transferFailed();
        // Poll until the chip is no longer busy, at most delay + 2 times. The status command is
        // written over the last block: the first poll carries the erase block, later ones the reply.
        quint32 polls = 0;
        bool busy = false;
        bool limitReached = false;
        do {
            m_usb.sleepMs(ErasePollPauseMs);
            block.makeStatus();
            if (!exchange(block, true))
                return transferFailed();
            busy = (block[0] & 1) != 0;
            if (polls > record.delay) {
                limitReached = true;
                break;
            }
            ++polls;
            m_view.setProgressPosition(std::min<quint32>(polls, record.delay));
            m_view.processPendingEvents();
        } while (busy);
        if (limitReached && busy) {
            m_reporter.showError(MsgEraseTimeout);
            m_view.hideProgress();
            return JobResult::Failed;
        }
        // No command interrupts a chip erase in the chip, and a chip still erasing ignores what
        // the next job would program: a stop takes effect once the chip is done.
        if (m_stopRequested)
            return stopped();
        break;
    }
    case I2cEeprom24:
    case SpiEeprom25: {
        m_view.showProgress(record.flashSize, ProgressUnit::Bytes);
        m_pumpClock.start();
        // The programmer takes the low 16 bits of each page offset.
        for (quint64 offset = 0; offset < record.flashSize; offset += record.flashPage) {
            CommandBlock block = CommandBlock::erase(static_cast<quint16>(offset), byteOrder());
            if (!exchange(block, false))
                return transferFailed();
            tick(static_cast<quint32>(offset));
            if (m_stopRequested && offset + record.flashPage < record.flashSize)
                return stopped();
        }
        break;
    }
    case MicrowireEeprom93: {
        m_view.showProgress(1, ProgressUnit::Polls);
        CommandBlock block = CommandBlock::erase(record.delay, byteOrder());
        if (!exchange(block, false))
            return transferFailed();
        break;
    }
    default:
        break;
    }
    m_view.hideProgress();
    return JobResult::Done;
}

bool ChipProgrammer::fitsBuffer(quint32 length, quint32 block)
{
    const quint64 whole = (static_cast<quint64>(length) + block - 1) / block * block;
    if (whole <= BufferCapacity)
        return true;
    m_reporter.showError(MsgChipTooLarge);
    return false;
}

bool ChipProgrammer::beginStream(const ChipRecord& record, quint32 length, bool readReply)
{
    if (record.flashSize > ThreeByteAddressLimit && !sendSpiInstruction(CommandBlock::Enter4ByteAddressMode)) {
        transferFailed();
        return false;
    }
    m_view.showProgress(length, ProgressUnit::Bytes);
    m_pumpClock.start();
    // Every stream starts at chip address 0.
    if (!startTransfer(0, readReply)) {
        transferFailed();
        return false;
    }
    return true;
}

void ChipProgrammer::tick(quint32 position)
{
    if (m_pumpIntervalMs > 0 && m_pumpClock.elapsed() < m_pumpIntervalMs)
        return;
    m_view.setProgressPosition(position);
    m_view.processPendingEvents();
    m_pumpClock.start();
}

void ChipProgrammer::endStream(quint32 lastBlockOffset)
{
    m_view.setProgressPosition(lastBlockOffset);
    m_view.hideProgress();
}

JobResult ChipProgrammer::transferFailed(std::optional<quint64> address)
{
    QString text = m_reporter.message(MsgTransferFailed);
    if (address)
        text += QLatin1Char(' ') + m_reporter.message(MsgTransferFailedAt).arg(QString::number(*address, 16).toUpper());
    if (m_usb.deviceVanished())
        text += QLatin1Char('\n') + m_reporter.message(MsgProgrammerUnplugged);
    m_reporter.showError(text);
    m_view.hideProgress();
    return JobResult::Failed;
}

JobResult ChipProgrammer::stopped()
{
    m_view.hideProgress();
    return JobResult::Stopped;
}

qint32 ChipProgrammer::usedLengthAfterRead(quint32 span) const
{
    const quint8* bytes = m_buffer.data();
    quint32 used = span;
    // Skip erased bytes eight at a time once aligned; a 64 MiB blank chip is common.
    while (used > 0 && used % 8 != 0 && bytes[used - 1] == 0xFF)
        --used;
    if (used % 8 == 0) {
        while (used >= 8) {
            quint64 word;
            std::memcpy(&word, bytes + used - 8, 8);
            if (word != ~quint64(0))
                break;
            used -= 8;
        }
        while (used > 0 && bytes[used - 1] == 0xFF)
            --used;
    }
    if (used % 2 != 0)
        ++used;
    return static_cast<qint32>(used);
}

void ChipProgrammer::keepOnlyWhatArrived(quint32 length, quint64 arrived)
{
    const quint32 kept = static_cast<quint32>(std::min<quint64>(arrived, length));
    std::memset(m_buffer.data() + kept, 0xFF, length - kept);
    m_buffer.usedLength = usedLengthAfterRead(kept);
}

JobResult ChipProgrammer::readBlocks(
    const ChipRecord& record, quint32 length, quint32 block, quint8* target, quint64& arrived)
{
    if (!beginStream(record, length, true))
        return JobResult::Failed;
    quint32 last = 0;
    for (quint64 offset = 0; offset < length; offset += block) {
        const int got = m_usb.readData(target + offset, static_cast<int>(block));
        if (got > 0)
            arrived = offset + std::min<quint64>(static_cast<quint64>(got), block);
        if (got != static_cast<int>(block))
            return transferFailed(arrived);
        last = static_cast<quint32>(offset);
        tick(last);
        if (m_stopRequested && offset + block < length)
            return stopped();
    }
    endStream(last);
    return JobResult::Done;
}

JobResult ChipProgrammer::readChip(const ChipRecord& record)
{
    m_view.setStatusText(m_reporter.message(MsgReading));
    const quint32 length = record.flashSize;
    const quint32 block = blockSize(record);
    if (!fitsBuffer(length, block))
        return JobResult::Failed;

    // From here on the chip's span of the buffer belongs to this read. A read that ends early
    // keeps only the bytes that arrived: the rest of the span is erased (0xFF) and the used length
    // is taken over what arrived, so the buffer never mixes the chip with the image it held before.
    quint64 arrived = 0;
    JobResult result = JobResult::Done;
    try {
        // Straight into the buffer: no copy.
        result = readBlocks(record, length, block, m_buffer.data(), arrived);
    } catch (...) {
        // Something in the window's event handling ended the read: the view is not touched again.
        keepOnlyWhatArrived(length, arrived);
        throw;
    }
    if (result != JobResult::Done) {
        keepOnlyWhatArrived(length, arrived);
        const QLocale numbers(QLocale::English);
        m_reporter.addLogLine(m_reporter.message(MsgReadCutShort)
                                  .arg(numbers.toString(static_cast<qulonglong>(std::min<quint64>(arrived, length))),
                                      numbers.toString(static_cast<qulonglong>(length))));
        // The view spans the chip as after a whole read; the part that did not arrive is erased.
        m_view.reloadView(length);
        return result;
    }
    m_buffer.usedLength = usedLengthAfterRead(length);
    m_view.reloadView(length);
    return result;
}

JobResult ChipProgrammer::blankCheckChip(const ChipRecord& record)
{
    m_view.setStatusText(m_reporter.message(MsgBlankChecking));
    const quint32 length = record.flashSize;
    const quint32 block = blockSize(record);
    if (!fitsBuffer(length, block))
        return JobResult::Failed;
    if (!beginStream(record, length, true))
        return JobResult::Failed;

    // The block buffer starts erased; the first byte that is not 0xFF ends the check.
    return compareStream(length, block, 0xFF, [this](const std::vector<quint8>& data, quint64) {
        if (std::all_of(data.begin(), data.end(), [](quint8 b) { return b == 0xFF; }))
            return true;
        m_reporter.showError(MsgNotEmpty);
        return false;
    });
}

JobResult ChipProgrammer::verifyChip(const ChipRecord& record)
{
    m_view.setStatusText(m_reporter.message(MsgVerifying));
    const quint32 used = static_cast<quint32>(std::max<qint32>(m_buffer.usedLength, 0));
    const quint32 length = std::min(record.flashSize, used);
    // Bytes past the chip cannot be compared: that is said before, and only Yes compares the rest.
    if (used > record.flashSize && !m_longerImageAccepted
        && !m_reporter.ui().askYesNo(m_reporter.message(MsgVerifyLongerFile).arg(used - record.flashSize)))
        return JobResult::Different;
    const quint32 block = blockSize(record);
    if (!fitsBuffer(length, block))
        return JobResult::Failed;
    if (!beginStream(record, length, true))
        return JobResult::Failed;

    // The whole block is compared, also the bytes past the verify length.
    return compareStream(length, block, 0x00, [this](const std::vector<quint8>& data, quint64 offset) {
        const quint8* expected = m_buffer.data() + offset;
        if (std::memcmp(data.data(), expected, data.size()) == 0)
            return true;
        quint32 i = 0;
        while (data[i] == expected[i])
            ++i;
        const quint64 address = offset + i;
        m_reporter.showError(
            m_reporter.message(MsgVerifyErrorAddress) + QString::number(address, 16).toUpper() + QLatin1Char('h'));
        return false;
    });
}

JobResult ChipProgrammer::compareStream(quint32 length, quint32 block, quint8 fill, const BlockCheck& check)
{
    std::vector<quint8> data(block, fill);
    quint32 last = 0;
    for (quint64 offset = 0; offset < length; offset += block) {
        if (m_usb.readData(data.data(), static_cast<int>(block)) != static_cast<int>(block))
            return transferFailed(offset);
        if (!check(data, offset)) {
            m_view.hideProgress();
            return JobResult::Different;
        }
        last = static_cast<quint32>(offset);
        tick(last);
        if (m_stopRequested && offset + block < length)
            return stopped();
    }
    endStream(last);
    return JobResult::Done;
}

bool ChipProgrammer::acceptLongerImage(const ChipRecord& record)
{
    quint64 used = static_cast<quint64>(std::max<qint32>(m_buffer.usedLength, 0));
    if (record.flashPage != 0)
        used = (used + record.flashPage - 1) / record.flashPage * record.flashPage;
    if (used <= record.flashSize || m_longerImageAccepted)
        return true;
    const QString sizes = m_reporter.message(MsgFileSizes).arg(used).arg(record.flashSize);
    if (!m_reporter.ui().askYesNo(m_reporter.message(MsgFileTooLong) + QLatin1Char('\n') + sizes)) {
        m_reporter.addLogLine(m_reporter.message(MsgWriteNotStarted) + m_reporter.message(MsgFileTooLong));
        return false;
    }
    m_longerImageAccepted = true;
    return true;
}

JobResult ChipProgrammer::writeChip(const ChipRecord& record)
{
    m_view.setStatusText(m_reporter.message(MsgWriting));
    // The programmer expects whole pages: the image grows to the next page boundary.
    quint32 used = static_cast<quint32>(std::max<qint32>(m_buffer.usedLength, 0));
    if (record.flashPage != 0 && used % record.flashPage != 0) {
        used = (used / record.flashPage + 1) * record.flashPage;
        m_buffer.usedLength = static_cast<qint32>(used);
    }
    if (m_stopRequested)
        return stopped();
    if (!acceptLongerImage(record))
        return JobResult::Declined;
    const quint32 length = std::min(used, record.flashSize);
    const quint32 block = blockSize(record);
    if (!fitsBuffer(length, block))
        return JobResult::Failed;
    if (!beginStream(record, length, false))
        return JobResult::Failed;

    quint32 last = 0;
    for (quint64 offset = 0; offset < length; offset += block) {
        // No acknowledgement per block: the next block follows at once.
        if (m_usb.writeData(m_buffer.data() + offset, static_cast<int>(block)) != static_cast<int>(block))
            return transferFailed(offset);
        last = static_cast<quint32>(offset);
        tick(last);
        if (m_stopRequested && offset + block < length)
            return stopped();
    }
    if (record.chipClass == I2cEeprom24)
        m_usb.sleepMs(I2cWriteSettleMs);
    endStream(last);
    return JobResult::Done;
}

} // namespace kestrum

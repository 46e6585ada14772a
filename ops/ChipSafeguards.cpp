// The chip commands' safeguards: Compare, the confirmed read, the backup before a change of the
// chip, and the question before a write onto a flash that holds data.
#include "ops/ChipOperations.h"

#include "buffer/HexText.h"
#include "chipdb/ChipSelection.h"
#include "chipdb/NameTokens.h"
#include "ops/Backups.h"

#include <QDateTime>

#include <algorithm>

namespace kestrum {

namespace {

/// The span a write covers: the used length grown to whole pages, at most the chip.
quint32 writeSpan(const ChipRecord& record, const DataBuffer& buffer)
{
    quint64 used = static_cast<quint64>(std::max<qint32>(buffer.usedLength, 0));
    if (record.flashPage != 0)
        used = (used + record.flashPage - 1) / record.flashPage * record.flashPage;
    return static_cast<quint32>(std::min<quint64>(used, record.flashSize));
}

} // namespace

void ChipOperations::dropChipCopy()
{
    std::vector<quint8>().swap(m_chipCopy);
}

void ChipOperations::reportComparison(const Comparison& comparison)
{
    if (comparison.equal()) {
        m_reporter.addLogLine(m_reporter.message(MsgCompareEqual).arg(comparison.compared));
        return;
    }
    m_reporter.addLogLine(
        m_reporter.message(MsgCompareDifferent).arg(comparison.differingBytes).arg(comparison.ranges.size()));
    if (onComparison)
        onComparison(comparison);
}

void ChipOperations::compare()
{
    runChipCommand([this] {
        m_comparison = {};
        if (!preconditionsMet(DataNeed::None, IdMismatch::Ask))
            return;
        m_host.takeViewEdits();
        const auto r = runTimedPart(
            [this](const ChipRecord& record) {
                const JobResult read = m_programmer.readInto(record, m_chipCopy, record.flashSize, MsgReading);
                if (read != JobResult::Done)
                    return read;
                m_comparison = compareBytes(m_chipCopy.data(), m_buffer.data(), record.flashSize);
                // Image bytes past the chip's end are nowhere on the chip: each one differs.
                const auto used = static_cast<quint32>(std::max<qint32>(m_buffer.usedLength, 0));
                addUnmatchedBytes(m_comparison, used > record.flashSize ? used - record.flashSize : 0);
                return read;
            },
            MsgReadDone, LineOrder::NoLine);
        dropChipCopy();
        if (r != JobResult::Done)
            return;
        reportComparison(m_comparison);
        if (!m_comparison.equal())
            m_outcome = CommandOutcome::Different;
    });
}

JobResult ChipOperations::readPart(const ChipRecord& record)
{
    const JobResult first = m_programmer.readChip(record);
    if (first != JobResult::Done || !m_readTwice)
        return first;
    const JobResult second = m_programmer.readInto(record, m_chipCopy, record.flashSize, MsgReading);
    if (second != JobResult::Done) {
        dropChipCopy();
        return second;
    }
    const Comparison reads = compareBytes(m_buffer.data(), m_chipCopy.data(), record.flashSize);
    dropChipCopy();
    if (reads.equal()) {
        m_reporter.addLogLine(MsgReadsAgree);
        return JobResult::Done;
    }
    m_comparison = reads;
    if (onComparison)
        onComparison(reads);
    // The next lower speed is the next entry of the speed list; no selection runs at the first.
    const QStringList speeds = speedListItems();
    const int speed = m_host.speedIndex() >= 0 && m_host.speedIndex() < speeds.size() ? m_host.speedIndex() : 0;
    const QString text = speed + 1 < speeds.size()
        ? m_reporter.message(MsgReadsDiffer).arg(reads.differingBytes).arg(reads.ranges.size()).arg(speeds[speed + 1])
        : m_reporter.message(MsgReadsDifferSlowest).arg(reads.differingBytes).arg(reads.ranges.size());
    m_reporter.showError(text);
    return JobResult::Different;
}

JobResult ChipOperations::backUpChip(const ChipRecord& record)
{
    dropChipCopy();
    if (m_backupFolder.isEmpty())
        return JobResult::Done;
    const JobResult read = m_programmer.readInto(record, m_chipCopy, record.flashSize, MsgReading);
    if (read != JobResult::Done) {
        dropChipCopy();
        return read;
    }
    // A backup is trusted only when confirmed: by a second read that equals the first when reads
    // are read twice, otherwise by the file read back from the disk.
    if (m_readTwice) {
        std::vector<quint8> again;
        const JobResult second = m_programmer.readInto(record, again, record.flashSize, MsgReading);
        const Comparison reads = second == JobResult::Done
            ? compareBytes(m_chipCopy.data(), again.data(), record.flashSize)
            : Comparison {};
        if (second != JobResult::Done || !reads.equal()) {
            dropChipCopy();
            if (second != JobResult::Done)
                return second;
            m_reporter.showError(
                m_reporter.message(MsgBackupReadsDiffer).arg(reads.differingBytes).arg(reads.ranges.size()));
            m_view.hideProgress();
            return JobResult::Different;
        }
    }
    return keepChipCopy(record);
}

JobResult ChipOperations::keepChipCopy(const ChipRecord& record)
{
    if (m_backupFolder.isEmpty())
        return JobResult::Done;
    BackupFolder folder(m_backupFolder);
    QString name = NameTokens(record.namesText()).trimmedAt(2);
    if (!m_backupLabel.isEmpty())
        name += QLatin1Char('-') + m_backupLabel;
    const BackupResult kept = folder.keep(m_chipCopy.data(), record.flashSize, name, QDateTime::currentDateTime(),
        m_readTwice ? BackupFolder::ReadBack::No : BackupFolder::ReadBack::Yes);
    switch (kept.kind) {
    case BackupResult::Kind::Blank:
        m_reporter.addLogLine(MsgBackupBlank);
        break;
    case BackupResult::Kind::Exists:
        m_reporter.addLogLine(m_reporter.message(MsgBackupExists).arg(kept.file));
        break;
    case BackupResult::Kind::Written:
        m_reporter.addLogLine(m_reporter.message(MsgBackupWritten).arg(kept.file));
        for (const QString& removed : folder.trim())
            m_reporter.addLogLine(m_reporter.message(MsgBackupTrimmed).arg(removed));
        break;
    case BackupResult::Kind::Failed:
    case BackupResult::Kind::Mismatch:
        // Without its backup the chip is not changed.
        m_reporter.showError(
            m_reporter.message(MsgBackupFailed)
                .arg(kept.file,
                    kept.kind == BackupResult::Kind::Mismatch ? m_reporter.message(MsgBackupDiffersOnDisk)
                                                              : kept.error));
        m_view.hideProgress();
        m_backupFailed = true;
        return JobResult::Failed;
    }
    return JobResult::Done;
}

JobResult ChipOperations::writePart(const ChipRecord& record)
{
    const JobResult backup = backUpChip(record);
    if (backup != JobResult::Done)
        return backup;
    // An image longer than the chip is asked about first: a No ends the write before anything else.
    if (!m_programmer.acceptLongerImage(record))
        return JobResult::Declined;
    // NOR flash programming only clears bits: an image written over data is neither. EEPROMs
    // overwrite their bytes and are not asked about.
    if (record.chipClass != SpiFlash25)
        return m_programmer.writeChip(record);
    const quint32 span = writeSpan(record, m_buffer);
    if (m_chipCopy.empty()) {
        // Without a backup read, a blank check of the span to be written tells.
        const JobResult check = m_programmer.readInto(record, m_chipCopy, span, MsgBlankChecking);
        if (check != JobResult::Done) {
            dropChipCopy();
            return check;
        }
    }
    const bool blank = hextext::allErased(m_chipCopy.data(), std::min<std::size_t>(span, m_chipCopy.size()));
    dropChipCopy();
    if (!blank) {
        const QStringList buttons {m_reporter.message(MsgButtonEraseAndWrite), m_reporter.message(MsgButtonWriteAnyway),
            m_reporter.message(MsgButtonCancel)};
        switch (m_reporter.ui().askButtons(m_reporter.message(MsgChipNotBlank), buttons)) {
        case 0: {
            const JobResult erased = m_programmer.eraseChip(record);
            if (erased != JobResult::Done)
                return erased;
            m_reporter.addLogLine(MsgEraseDone);
            break;
        }
        case 1:
            break;
        default:
            m_reporter.addLogLine(m_reporter.message(MsgWriteNotStarted) + m_reporter.message(MsgChipNotBlank));
            m_notBlankDeclined = true;
            return JobResult::Declined;
        }
    }
    return m_programmer.writeChip(record);
}

} // namespace kestrum

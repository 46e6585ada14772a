// Jobs on chosen regions of the chip: write them keeping the rest, verify or compare only them.
// The streams stay the whole chip's: the chip is read whole and written whole.
#include "ops/ChipOperations.h"

#include "layout/LayoutTexts.h"

#include <algorithm>
#include <cstring>

namespace kestrum {

namespace {

bool overlaps(const Region& a, const Region& b)
{
    return a.start <= b.end() && b.start <= a.end();
}

QString regionLine(const Reporter& reporter, MessageKey key, const Region& region)
{
    return reporter.message(key).arg(region.name, regionRangeText(region));
}

} // namespace

bool ChipOperations::regionsFitChip(const std::vector<Region>& chosen)
{
    for (const Region& r : chosen)
        if (r.size == 0 || r.end() >= m_host.currentRecord().flashSize) {
            m_reporter.showError(m_reporter.message(MsgRegionPastChip).arg(r.name));
            m_outcome = CommandOutcome::Refused;
            return false;
        }
    return true;
}

JobResult ChipOperations::regionWritePart(
    const ChipRecord& record, const std::vector<Region>& chosen, const std::vector<Region>& layout)
{
    // The read of the whole chip is the backup and the image the chosen regions go into.
    JobResult result = m_programmer.readInto(record, m_chipCopy, record.flashSize, MsgReading);
    if (result == JobResult::Done)
        result = keepChipCopy(record);
    if (result != JobResult::Done)
        return result;

    // Regions the image itself describes must sit where the chip has them, or the person says so.
    QStringList described;
    for (const Region& r : chosen)
        if (r.source == RegionSource::Descriptor || r.source == RegionSource::Fmap)
            described << r.name;
    if (!described.isEmpty()) {
        const ImageLayout onChip = findLayout(m_chipCopy.data(), m_chipCopy.size());
        QStringList differing;
        for (const QString& name : described)
            if (!sameBoundaries(onChip.regions, layout, {name}))
                differing << name;
        if (!differing.isEmpty()
            && !m_reporter.ui().askYesNo(m_reporter.message(MsgRegionLayoutDiffers).arg(differing.join(", "))))
            return JobResult::Declined;
    }

    for (const Region& r : chosen) {
        std::memcpy(m_chipCopy.data() + r.start, m_buffer.data() + r.start, r.size);
        m_reporter.addLogLine(regionLine(m_reporter, MsgRegionWritten, r));
    }
    for (const Region& r : layout)
        if (std::none_of(chosen.begin(), chosen.end(), [&](const Region& c) { return overlaps(c, r); }))
            m_reporter.addLogLine(regionLine(m_reporter, MsgRegionKept, r));
    std::memcpy(m_buffer.data(), m_chipCopy.data(), record.flashSize);
    m_buffer.usedLength = qint32(record.flashSize);
    dropChipCopy();

    for (auto routine : {&ChipProgrammer::eraseChip, &ChipProgrammer::writeChip, &ChipProgrammer::verifyChip}) {
        result = m_programmer.stopRequested() ? JobResult::Stopped : (m_programmer.*routine)(record);
        if (result != JobResult::Done)
            return result;
    }
    return result;
}

void ChipOperations::writeRegions(const std::vector<Region>& chosen, const std::vector<Region>& layout)
{
    runChipCommand([&] {
        if (!preconditionsMet(DataNeed::Image, IdMismatch::Ask) || !regionsFitChip(chosen))
            return;
        const auto r = runTimedPart([&](const ChipRecord& record) { return regionWritePart(record, chosen, layout); },
            MsgWriteDone, LineOrder::AfterEnd);
        dropChipCopy();
        if (r == JobResult::Done)
            m_buffer.markSaved();
    });
}

void ChipOperations::verifyRegions(const std::vector<Region>& chosen)
{
    runChipCommand([&] {
        m_comparison = {};
        if (!preconditionsMet(DataNeed::Image, IdMismatch::Ask) || !regionsFitChip(chosen))
            return;
        const auto r = runTimedPart(
            [this](const ChipRecord& record) {
                return m_programmer.readInto(record, m_chipCopy, record.flashSize, MsgVerifying);
            },
            MsgVerifyDone, LineOrder::NoLine);
        if (r == JobResult::Done) {
            for (const Region& region : chosen) {
                Comparison c
                    = compareBytes(m_chipCopy.data() + region.start, m_buffer.data() + region.start, region.size);
                m_comparison.compared += c.compared;
                m_comparison.differingBytes += c.differingBytes;
                for (DifferenceRange range : c.ranges)
                    m_comparison.ranges.push_back({range.start + region.start, range.end + region.start});
                m_reporter.addLogLine(c.equal()
                        ? regionLine(m_reporter, MsgRegionEqual, region)
                        : regionLine(m_reporter, MsgRegionDiffers, region).arg(c.differingBytes));
            }
            if (m_comparison.equal())
                m_reporter.addLogLine(MsgVerifyDone);
            else {
                if (onComparison)
                    onComparison(m_comparison);
                m_outcome = CommandOutcome::Different;
            }
        }
        dropChipCopy();
    });
}

} // namespace kestrum

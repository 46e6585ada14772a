#include "jobs/HeadlessHost.h"

#include "ops/ChipProgrammer.h"

namespace kestrum {

namespace {

constexpr qint64 ProgressEveryMs = 100;

} // namespace

HeadlessHost::HeadlessHost(const ChipTable& table, const StopToken& stop)
    : m_table(table)
    , m_stop(stop)
    , m_selection(table, [](std::uint32_t) {})
{
}

void HeadlessHost::showProgress(quint32 maximum, ProgressUnit unit)
{
    m_maximum = maximum;
    m_unit = unit;
    m_showing = true;
    m_estimate.start(maximum);
    m_lastTold = -1;
}

void HeadlessHost::setProgressPosition(quint32 position)
{
    processPendingEvents();
    if (!m_showing)
        return;
    m_estimate.update(position);
    const qint64 now = m_estimate.now();
    if (m_lastTold >= 0 && now - m_lastTold < ProgressEveryMs && position < m_maximum)
        return;
    m_lastTold = now;
    // The polls of a whole-chip erase count towards a limit, not towards an end: no rate.
    const auto estimate = m_unit == ProgressUnit::Bytes ? m_estimate.estimate() : std::nullopt;
    progressMoved(m_status, position, m_maximum, estimate);
}

void HeadlessHost::hideProgress()
{
    if (m_showing && m_lastTold >= 0)
        progressHidden();
    m_showing = false;
}

void HeadlessHost::processPendingEvents()
{
    // The routines look at their request after every block; a whole-chip erase, which no command
    // interrupts, ends once the chip is done.
    if (m_stop.requested() && !m_stopAfterChip && m_programmer)
        m_programmer->requestStop();
}

int HeadlessHost::selectByIndices(int typeIndex, int makerIndex, int nameIndex)
{
    return m_selection.selectByIndices(typeIndex, makerIndex, nameIndex);
}

void HeadlessHost::setSelectionIndices(int typeIndex, int makerIndex, int nameIndex)
{
    m_indices[0] = typeIndex;
    m_indices[1] = makerIndex;
    m_indices[2] = nameIndex;
}

} // namespace kestrum

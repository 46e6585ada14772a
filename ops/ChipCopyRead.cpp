// ChipProgrammer::readInto: a read of the chip into memory of its own, apart from DataBuffer.
#include "ops/ChipProgrammer.h"

namespace kestrum {

JobResult ChipProgrammer::readInto(
    const ChipRecord& record, std::vector<quint8>& target, quint32 length, MessageKey status)
{
    m_view.setStatusText(m_reporter.message(status));
    const quint32 block = blockSize(record);
    if (!fitsBuffer(length, block))
        return JobResult::Failed;
    const quint64 whole = (quint64(length) + block - 1) / block * block;
    target.assign(static_cast<std::size_t>(whole), 0xFF);
    if (length == 0)
        return JobResult::Done;
    if (!beginStream(record, length, true))
        return JobResult::Failed;
    quint32 last = 0;
    for (quint64 offset = 0; offset < length; offset += block) {
        if (m_usb.readData(target.data() + offset, static_cast<int>(block)) != static_cast<int>(block))
            return transferFailed(offset);
        last = static_cast<quint32>(offset);
        tick(last);
        if (m_stopRequested && offset + block < length)
            return stopped();
    }
    endStream(last);
    return JobResult::Done;
}

} // namespace kestrum

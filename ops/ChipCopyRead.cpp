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
    quint64 arrived = 0;
    return readBlocks(record, length, block, target.data(), arrived);
}

} // namespace kestrum

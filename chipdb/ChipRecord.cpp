#include "chipdb/ChipRecord.h"

#include "base/Gbk.h"

#include <cstring>

namespace kestrum {

QString ChipRecord::namesText() const
{
    const void* end = std::memchr(names, 0, NamesSize);
    const qsizetype length = end ? static_cast<const char*>(end) - names : NamesSize;
    return fromGbk(names, length);
}

bool ChipRecord::setNamesText(const QString& text)
{
    bool ok = false;
    const QByteArray gbk = toGbk(text, &ok);
    if (!ok || gbk.size() > NamesSize - 1 || gbk.contains('\0'))
        return false;
    std::memset(names, 0, NamesSize);
    std::memcpy(names, gbk.constData(), static_cast<size_t>(gbk.size()));
    return true;
}

std::optional<RecordFlaw> recordFlaw(const ChipRecord& record)
{
    if (record.flashSize == 0 || record.flashSize > MaxChipCapacity)
        return RecordFlaw::CapacityOutOfRange;
    switch (record.chipClass) {
    case SpiFlash25:
    case I2cEeprom24:
    case SpiEeprom25:
        if (record.flashPage == 0)
            return RecordFlaw::NoPageSize;
        return std::nullopt;
    case MicrowireEeprom93:
        return std::nullopt;
    default:
        return RecordFlaw::UnknownClass;
    }
}

MessageKey recordFlawMessage(RecordFlaw flaw)
{
    switch (flaw) {
    case RecordFlaw::CapacityOutOfRange:
        return MsgRecordCapacity;
    case RecordFlaw::UnknownClass:
        return MsgRecordClass;
    case RecordFlaw::NoPageSize:
        break;
    }
    return MsgRecordPageSize;
}

QString recordFlawText(RecordFlaw flaw, int language)
{
    return messageText(MsgRecordFlawed, language).arg(messageText(recordFlawMessage(flaw), language));
}

int ChipTable::listedCount() const
{
    int n = 0;
    while (n < ChipSlots && !entries[static_cast<size_t>(n)].isEnd())
        ++n;
    return n;
}

} // namespace kestrum

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

int ChipTable::listedCount() const
{
    int n = 0;
    while (n < ChipSlots && !entries[static_cast<size_t>(n)].isEnd())
        ++n;
    return n;
}

} // namespace kestrum

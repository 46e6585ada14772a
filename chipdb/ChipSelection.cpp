#include "chipdb/ChipSelection.h"

#include "base/Messages.h"
#include "chipdb/NameTokens.h"

#include <algorithm>

namespace kestrum {

QStringList sizeListItems()
{
    return {QStringLiteral("64B"), QStringLiteral("128B"), QStringLiteral("256B"), QStringLiteral("512B"),
        QStringLiteral("1KB"), QStringLiteral("2KB"), QStringLiteral("4KB"), QStringLiteral("8KB"),
        QStringLiteral("16KB"), QStringLiteral("32KB"), QStringLiteral("64KB"), QStringLiteral("128KB"),
        QStringLiteral("256KB"), QStringLiteral("512KB"), QStringLiteral("1MB"), QStringLiteral("2MB"),
        QStringLiteral("4MB"), QStringLiteral("8MB"), QStringLiteral("16MB"), QStringLiteral("32MB"),
        QStringLiteral("64MB")};
}

QStringList speedListItems()
{
    return {QStringLiteral("12MHz"), QStringLiteral("6MHz"), QStringLiteral("3MHz"), QStringLiteral("1.5MHz"),
        QStringLiteral("750KHz"), QStringLiteral("375KHz")};
}

ChipSelection::ChipSelection(const ChipTable& table, std::function<void(std::uint32_t)> refreshView)
    : m_table(table)
    , m_refreshView(std::move(refreshView))
{
}

int ChipSelection::selectByIndices(int typeIndex, int makerIndex, int nameIndex)
{
    int found = -1;
    int nameCount = 0;
    // Until the fill ends, the lists show no chip (a fill that ends with an error shows none).
    m_shownChip = -1;
    // The type list is never cleared: types only accumulate for the life of the program.
    m_makers.clear();
    m_names.clear();

    for (int j = 0; j < ChipSlots && !m_table[j].isEnd(); ++j) {
        const NameTokens tokens(m_table[j].namesText());
        const QString type = tokens.trimmedAt(0);
        if (!m_types.containsIgnoringCase(type))
            m_types.append(type);
        if (type != m_types.at(typeIndex))
            continue;

        const QString maker = tokens.trimmedAt(1);
        if (!maker.isEmpty() && !m_makers.containsIgnoringCase(maker))
            m_makers.append(maker);
        // An index outside the list reads as empty text, so an empty maker then matches.
        if (maker != m_makers.at(makerIndex))
            continue;

        const QString name = tokens.trimmedAt(2);
        if (name.isEmpty() || m_names.containsIgnoringCase(name))
            continue;
        m_names.append(name);
        if (nameCount == nameIndex) {
            found = j;
            m_currentChip = j;
            const ChipRecord& r = m_table[j];
            m_sizeText = QString::number(r.flashSize);
            for (int k = 0; k < 21; ++k) {
                if (r.flashSize & (std::uint32_t(1) << (k + 6))) {
                    m_sizeIndex = k;
                    break;
                }
            }
            m_pageText = QString::number(r.flashPage);
        }
        ++nameCount;
    }

    // The hex view always spans the selected chip (the view's hand-over stops at the buffer's end).
    m_refreshView(m_table[m_currentChip].flashSize);

    m_types.select(typeIndex);
    m_makers.select(makerIndex);
    m_names.select(nameIndex);
    m_shownChip = found;
    return found;
}

int ChipSelection::restoreSelection(int& typeIndex, int& makerIndex, int& nameIndex)
{
    const int found = selectByIndices(typeIndex, makerIndex, nameIndex);
    if (found >= 0)
        return found;
    typeIndex = 0;
    makerIndex = 0;
    nameIndex = 0;
    return selectByIndices(0, 0, 0);
}

int ChipSelection::shownChip() const
{
    if (m_shownChip < 0 || m_shownChip >= m_table.listedCount())
        return -1;
    const NameTokens tokens(m_table[m_shownChip].namesText());
    if (tokens.count() < 3)
        return -1;
    const bool same = tokens.trimmedAt(0) == m_types.text() && tokens.trimmedAt(1) == m_makers.text()
        && tokens.trimmedAt(2) == m_names.text();
    return same ? m_shownChip : -1;
}

int ChipSelection::selectByNames(const QString& type, const QString& maker, const QString& name)
{
    int result = -1;
    for (int pass = 0; pass < 3; ++pass) {
        result = selectByIndices(
            m_types.indexOfIgnoringCase(type), m_makers.indexOfIgnoringCase(maker), m_names.indexOfIgnoringCase(name));
    }
    return result;
}

namespace {

ChipSearchRow rowOf(const ChipTable& table, int slot)
{
    const NameTokens tokens(table[slot].namesText());
    return {tokens.at(0), tokens.at(1), tokens.at(2), slot};
}

} // namespace

void allChipRows(const ChipTable& table, const ChipRowSink& add)
{
    for (int i = 0; i < ChipSlots && !table[i].isEnd(); ++i)
        add(rowOf(table, i));
}

void findChipRows(const ChipTable& table, const QString& searchText, const ChipRowSink& add)
{
    const QString key = trimControl(searchText);
    if (key.isEmpty())
        return;
    for (int i = 0; i < ChipSlots && !table[i].isEnd(); ++i) {
        if (table[i].namesText().contains(key, Qt::CaseSensitive))
            add(rowOf(table, i));
    }
}

NamedChips chipsNamed(const ChipTable& table, const QString& text)
{
    const qsizetype comma = text.indexOf(QLatin1Char(','));
    const QString maker = comma < 0 ? QString() : text.left(comma).trimmed();
    const QString wanted = text.mid(comma + 1).trimmed();
    NamedChips named;
    for (int i = 0; i < table.listedCount(); ++i) {
        const NameTokens tokens(table[i].namesText());
        if (comma >= 0 && tokens.trimmedAt(1).compare(maker, Qt::CaseInsensitive) != 0)
            continue;
        const QString name = tokens.trimmedAt(2);
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            named.exact << i;
        else if (name.contains(wanted, Qt::CaseInsensitive))
            named.partial << i;
    }
    return named;
}

QStringList searchColumnTitles(int language)
{
    switch (normalizedLanguage(language)) {
    case 1:
        return {QString::fromUtf16(u"類型"), QString::fromUtf16(u"廠商"), QString::fromUtf16(u"名稱")};
    case 2:
        return {QStringLiteral("Type"), QStringLiteral("Manufacturer"), QStringLiteral("Name")};
    default:
        return {QString::fromUtf16(u"类型"), QString::fromUtf16(u"厂商"), QString::fromUtf16(u"名称")};
    }
}

} // namespace kestrum

#pragma once

#include "chipdb/ChipRecord.h"
#include "chipdb/PickList.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace kestrum {

/// The size list under the capacity field: item k is 64 << k bytes.
QStringList sizeListItems();
/// The speed list: its index goes to the programmer in the chip set-up.
QStringList speedListItems();

/// The chip group of the main window without its widgets: the type, manufacturer and name lists,
/// the capacity, size-list and page-size fields, and the selected record. Every way of choosing a
/// chip ends in selectByIndices.
class ChipSelection
{
public:
    /// refreshView reloads the hex view with that many bytes of the data buffer.
    ChipSelection(const ChipTable& table, std::function<void(std::uint32_t)> refreshView);

    /// Rebuilds the lists for the indices, selects the record they designate and sizes the hex
    /// view to the selected chip. Returns the slot, or -1 when the indices designate nothing.
    /// Throws ListIndexError when a listed record has too few names; the lists keep what was
    /// added, and neither the selections nor the hex view are updated then.
    int selectByIndices(int typeIndex, int makerIndex, int nameIndex);

    /// The fill of a selection restored from saved indices: indices that designate no record select
    /// the first chip (0, 0, 0), as a fresh start does, and are set to those.
    int restoreSelection(int& typeIndex, int& makerIndex, int& nameIndex);

    /// Selects a record by its three names through three fills (each fill rebuilds the lists
    /// below the level it receives). Lookups ignore letter case; absent names give -1.
    int selectByNames(const QString& type, const QString& maker, const QString& name);

    [[nodiscard]] const PickList& types() const { return m_types; }
    [[nodiscard]] const PickList& makers() const { return m_makers; }
    [[nodiscard]] const PickList& names() const { return m_names; }

    [[nodiscard]] int currentChip() const { return m_currentChip; }
    /// The slot of the chip the three lists show, or -1 when they show none: the last fill found
    /// nothing or ended with an error, or the record in that slot no longer carries the shown names
    /// (the table was rewritten since). Chip jobs run only on the chip shown.
    [[nodiscard]] int shownChip() const;
    [[nodiscard]] const ChipRecord& currentRecord() const { return m_table[m_currentChip]; }
    /// Capacity field: unsigned decimal bytes.
    [[nodiscard]] const QString& sizeText() const { return m_sizeText; }
    /// Selected item of the size list, -1 when none.
    [[nodiscard]] int sizeIndex() const { return m_sizeIndex; }
    /// Page-size field.
    [[nodiscard]] const QString& pageText() const { return m_pageText; }

private:
    const ChipTable& m_table;
    std::function<void(std::uint32_t)> m_refreshView;
    PickList m_types;
    PickList m_makers;
    PickList m_names;
    int m_currentChip = 0;
    int m_shownChip = -1;
    QString m_sizeText;
    int m_sizeIndex = -1;
    QString m_pageText;
};

/// One row of the search dialog's list.
struct ChipSearchRow
{
    QString type;
    QString maker;
    QString name;
    int slot = 0;
};

/// Takes the rows of the search dialog one by one.
using ChipRowSink = std::function<void(const ChipSearchRow&)>;

/// The rows of the search dialog, in slot order: every listed record (allChipRows), or those whose
/// names text contains the search text with leading and trailing characters of code 32 or below
/// removed (findChipRows: case-sensitive, over the whole text, commas included; an empty key
/// matches nothing). A listed record with fewer than three names throws ListIndexError once the
/// rows before it have been handed over.
void allChipRows(const ChipTable& table, const ChipRowSink& add);
void findChipRows(const ChipTable& table, const QString& searchText, const ChipRowSink& add);

/// The listed chips a name on the command line designates: "NAME", or "MANUFACTURER,NAME" for chips
/// of two makers with one name (letter case ignored). exact holds the chips of exactly that name,
/// partial those whose name contains it; the manufacturer, when given, must match exactly.
struct NamedChips
{
    QList<int> exact;
    QList<int> partial;
};
NamedChips chipsNamed(const ChipTable& table, const QString& text);

/// Column titles of the search list in a language: type, manufacturer, name.
QStringList searchColumnTitles(int language);

} // namespace kestrum

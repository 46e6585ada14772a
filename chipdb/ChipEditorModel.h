#pragma once

#include "base/Messages.h"
#include "chipdb/ChipRecord.h"
#include "chipdb/PickList.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace kestrum {

/// The chip editor's grid has one column per record field, the three names first.
inline constexpr int EditorColumns = 13;
using EditorRow = std::array<QString, EditorColumns>;

/// Grid columns, in the order of the title row.
enum EditorColumn : int {
    ColType = 0,
    ColMaker,
    ColModel,
    ColChipId,
    ColFlashSize,
    ColFlashPage,
    ColClass,
    ColSubtype,
    ColDelay,
    ColVoltage,
    ColEepromSize,
    ColEepromPage,
    ColXmlLink,
};

/// Whole-string integer conversion of the editor: optional leading blanks and sign, then decimal
/// digits (-2147483648..2147483647) or hexadecimal digits after "$", "0x", "0X", "x" or "X" (at
/// most 32 bits, read as a signed number). Anything else, trailing blanks included, fails.
std::optional<qint32> cellInteger(const QString& text);
/// The conversion failure as the user sees it: "'<text>' is not a valid integer value".
QString notAnIntegerText(const QString& text);
/// The number of halvings (shifts right) that bring v down to 1 or below; 0 for v <= 1.
int floorLog2(qint32 v);

/// The 13 titles of the grid, Simplified Chinese in every language.
QStringList editorColumnTitles();
/// The fixed entries of the editor's lists: class, capacity, page size, voltage, EEPROM size and
/// EEPROM page size.
QStringList editorClassItems();
QStringList editorFlashItems();
QStringList editorFlashPageItems();
QStringList editorVoltageItems();
QStringList editorEepromItems();
QStringList editorEepromPageItems();
/// The algorithm list of a class; empty for an index that is no class.
QStringList algorithmItems(int chipClass);
/// The sub-type stored for an algorithm entry: the entry index, except the organisation codes of
/// the 93 series (entry i is 7 + i for the 8-bit and 82 + i for the 16-bit organisations).
int subtypeForAlgorithm(int chipClass, int algorithmIndex);

/// The lists of the editing fields that a row's cells are computed from.
enum class EditorList { Class, Voltage, Flash, FlashPage, Algorithm, Eeprom, EepromPage };

/// The editing fields of the chip editor, one member per control. Indices are list positions,
/// -1 for a list without a selection. The defaults are those of a newly created editor.
struct ChipEditorFields
{
    QString type;
    QString maker;
    QString model;
    QString delay = QStringLiteral("100"); ///< the erase poll limit or erase argument
    int classIndex = -1; ///< the ChipClass
    int flashIndex = 0; ///< capacity: 64 << k bytes
    int flashPageIndex = 0; ///< page size: 1 << k bytes
    int voltageIndex = -1; ///< ChipVoltage
    int algorithmIndex = -1; ///< position in algorithmItems(classIndex)
    QString chipId = QStringLiteral("0"); ///< the identification as typed
    int eepromIndex = 1; ///< EEPROM size: 0 or 1 << k bytes
    int eepromPageIndex = 2; ///< EEPROM page size: 1 << k bytes
    QString extend; ///< the `xmlLink` number; a row built from it empty gets 0
};

/// The chip editor without its window: the text grid (row 0 holds the titles, row r > 0 the
/// record of slot r - 1 once loaded), the name lists gathered while loading, the grid's current
/// row, `selectedRow`, and the conversions between grid rows, editing fields and the chip table.
class ChipEditorModel
{
public:
    ChipEditorModel();

    // Grid.
    [[nodiscard]] int rowCount() const { return int(m_rows.size()); }
    [[nodiscard]] const EditorRow& row(int r) const { return m_rows[static_cast<size_t>(r)]; }
    [[nodiscard]] const QString& cell(int r, int column) const { return row(r)[static_cast<size_t>(column)]; }
    /// In-place editing of a cell; rows or columns outside the grid are ignored.
    void setCell(int r, int column, const QString& text);

    // Name lists of the type, manufacturer and model fields, as gathered by load().
    [[nodiscard]] const PickList& types() const { return m_types; }
    [[nodiscard]] const PickList& makers() const { return m_makers; }
    [[nodiscard]] const PickList& models() const { return m_models; }

    /// The grid's current row (where Delete starts); never the title row while chip rows exist.
    [[nodiscard]] int currentRow() const { return m_currentRow; }
    /// `selectedRow`: the row of the last cell selection; 0 until a cell is selected.
    [[nodiscard]] int selectedRow() const { return m_selectedRow; }
    /// A cell selection: the row becomes the current row and `selectedRow`.
    void selectCell(int r);

    /// Rebuilds the grid and the name lists from the listed records of the table. A names text is
    /// cut at commas only: type before the first, manufacturer before the next, model the rest;
    /// a missing comma leaves the part before it empty. The first list entries are selected.
    void load(const ChipTable& table);
    /// The language of Save's refusal texts (English until set).
    void setLanguage(int language) { m_language = normalizedLanguage(language); }

    /// The cells a row gets from the fields (Add and Edit). Fails when a list that the cells are
    /// computed from has no selection, and names that list in `missing`.
    [[nodiscard]] static std::optional<EditorRow> buildRow(
        const ChipEditorFields& fields, std::optional<EditorList>* missing = nullptr);

    /// Add: appends a row built from the fields and makes it the current and selected row.
    /// A refusal names the list without a selection in `missing`.
    [[nodiscard]] bool add(const ChipEditorFields& fields, std::optional<EditorList>* missing);
    /// Edit: rebuilds row `selectedRow` from the fields. While `selectedRow` is the title row
    /// or past the last row there is nothing to edit: false, with `missing` empty.
    [[nodiscard]] bool edit(const ChipEditorFields& fields, std::optional<EditorList>* missing);
    /// Delete: removes the current row by moving the rows below it up; nothing happens when
    /// the grid holds no chip row.
    void deleteCurrentRow();

    /// A click on a row of the grid (a double click included): loads row `selectedRow` into the
    /// fields (nothing happens for row 0). The sizes become list positions by floorLog2; for the
    /// 24 and 25 EEPROM classes the algorithm follows the FLASH size, not the stored sub-type. A cell that is no integer stops the loading there,
    /// with the fields before it already changed, and returns false with the conversion text.
    [[nodiscard]] bool loadSelectedRow(ChipEditorFields& fields, QString* error) const;

    /// Save up to the file: converts rows 1.. into slots 0.. of the table and clears the first
    /// 20 bytes of the slot after them as the end marker. Returns the byte count to write,
    /// (rows + 1) * 68. Every row is converted and checked in a copy first: when any row is
    /// refused (a cell that is no integer, names that do not fit, more than 999 chip rows, since
    /// the end marker needs a slot too) the table is left exactly as it was and the text says
    /// what failed.
    [[nodiscard]] std::optional<qint32> saveInto(ChipTable& table, QString* error) const;

private:
    void clampCurrentRow();

    std::vector<EditorRow> m_rows;
    PickList m_types;
    PickList m_makers;
    PickList m_models;
    int m_language = EnglishLanguage;
    int m_currentRow = 1;
    int m_selectedRow = 0;
};

class ChipSelection;

/// After the table changed under a selection (the chip editor reloaded or saved it): selects the
/// chip the lists showed again by its type, manufacturer and name, or the first chip of the table
/// when that one is gone. Returns the slot, -1 when the table lists no chip.
int selectChipAgain(ChipSelection& selection, const ChipTable& table);

} // namespace kestrum

#pragma once

#include "app/HandlerGuard.h"
#include "base/Reporter.h"
#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipEditorModel.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QWidget;

namespace kestrum {

/// The chip editor: the chip database as an editable text grid, a panel of fields to
/// build a row from, and Save, which converts the grid into the program's chip table and writes
/// the database file. Created once and hidden; each opening reloads the file.
///
/// The grid's title row is the table header, so the grid row r is the table row r - 1; row
/// numbers here (`selectedRow`, `selectCell`) count the title row as 0.
class ChipEditorDialog : public QDialog
{
    Q_OBJECT
public:
    /// reporter: the language and the error box. table: the program's chip table, reloaded at each
    /// opening and replaced by a Save once the file is written. databasePath: the database file.
    /// runGuarded: runs the dialog's handlers. tableChanged: runs after a reload or a Save changed
    /// the table, so that the program selects its chip again.
    ChipEditorDialog(QWidget* parent, Reporter& reporter, ChipTable& table, QString databasePath,
        HandlerGuard runGuarded, std::function<void()> tableChanged = {});

    /// Re-reads the database file into the program's chip table; an integrity failure shows
    /// the fixed text "配置文件被破坏！" and leaves the table as it was.
    LoadResult reloadDatabase();
    /// What each opening does: reload, then the grid and the name lists from the table.
    void reloadAndShow();
    /// A cell selection in grid row numbering.
    void selectCell(int row);
    /// Loads row `selectedRow` into the fields.
    void loadSelectedRow();
    /// The class list changed: the algorithm list of the class, first entry selected.
    void classChanged();
    void addChip();
    void editChip();
    void deleteChip();
    void saveDatabase();

    /// `selectedRow`: the grid row of the last cell selection, 0 until there is one.
    [[nodiscard]] int selectedRow() const { return m_model.selectedRow(); }
    [[nodiscard]] const ChipEditorModel& model() const { return m_model; }
    /// The editing fields as the controls hold them, and back.
    [[nodiscard]] ChipEditorFields fields() const;
    void setFields(const ChipEditorFields& fields);

    /// Quit, Esc and the window's close: rows changed and not saved are dropped only when the
    /// user agrees.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refuseMissingList(EditorList list) const;
    void buildGrid();
    void buildFields();
    void buildButtons();
    /// Shows the model's rows in the table and its current row as the table's current cell.
    void showGrid();
    /// Widens each column to its widest cell.
    void fitColumnsToCells();
    void showNameLists();

    Reporter& m_reporter;
    ChipTable& m_table;
    QString m_databasePath;
    HandlerGuard m_runGuarded;
    std::function<void()> m_tableChanged;
    ChipEditorModel m_model;

    // The controls; the caption table names them by their object names.
    QTableWidget* chipGrid = nullptr;
    QGroupBox* fieldsGroup = nullptr;
    QLabel* typeLabel = nullptr;
    QLabel* manufacturerLabel = nullptr;
    QLabel* nameLabel = nullptr;
    QLabel* delayLabel = nullptr;
    QLabel* classLabel = nullptr;
    QLabel* flashLabel = nullptr;
    QLabel* flashPageLabel = nullptr;
    QLabel* voltageLabel = nullptr;
    QLabel* algorithmLabel = nullptr;
    QLabel* chipIdLabel = nullptr;
    QLabel* eepromLabel = nullptr;
    QLabel* eepromPageLabel = nullptr;
    QLabel* extendLabel = nullptr;
    QComboBox* typeCombo = nullptr;
    QComboBox* manufacturerCombo = nullptr;
    QComboBox* nameCombo = nullptr;
    QLineEdit* delayEdit = nullptr;
    QComboBox* classCombo = nullptr;
    QComboBox* flashCombo = nullptr;
    QComboBox* flashPageCombo = nullptr;
    QComboBox* voltageCombo = nullptr;
    QComboBox* algorithmCombo = nullptr;
    QComboBox* chipIdCombo = nullptr;
    QComboBox* eepromCombo = nullptr;
    QComboBox* eepromPageCombo = nullptr;
    QComboBox* extendCombo = nullptr;
    QWidget* buttonColumn = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* addButton = nullptr;
    QPushButton* editButton = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* quitButton = nullptr;
    bool m_rowsChanged = false; ///< rows added, edited, deleted or typed into since the last load or save
};

} // namespace kestrum

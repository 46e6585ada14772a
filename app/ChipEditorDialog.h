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

/// `TForm2`, the chip editor: the chip database as an editable text grid, a panel of fields to
/// build a row from, and Save, which converts the grid into the program's chip table and writes
/// the database file. Created once and hidden; each opening reloads the file.
///
/// The grid's title row is the table header, so the grid row r is the table row r - 1; row
/// numbers here (`selectedRow`, `StringGrid1SelectCell`) count the title row as 0.
class TForm2 : public QDialog
{
    Q_OBJECT
public:
    /// reporter: the language and the error box. table: the program's chip table, reloaded at each
    /// opening and replaced by a Save once the file is written. databasePath: the database file.
    /// runGuarded: runs the dialog's handlers. tableChanged: runs after a reload or a Save changed
    /// the table, so that the program selects its chip again.
    TForm2(QWidget* parent, Reporter& reporter, ChipTable& table, QString databasePath, HandlerGuard runGuarded,
        std::function<void()> tableChanged = {});

    /// Re-reads the database file into the program's chip table; an integrity failure shows
    /// the fixed text "配置文件被破坏！" and leaves the table as it was.
    LoadResult ReloadChipDatabase();
    /// What each opening does: reload, then the grid and the name lists from the table.
    void FormShow();
    /// A cell selection in grid row numbering.
    void StringGrid1SelectCell(int row);
    /// Loads row `selectedRow` into the fields.
    void StringGrid1DblClick();
    /// The class list changed: the algorithm list of the class, first entry selected.
    void ComboBox4Change();
    void BtnAddClick();
    void BtnEditClick();
    void BtnDeleteClick();
    void BtnSaveClick();

    /// `selectedRow`: the grid row of the last cell selection, 0 until there is one.
    [[nodiscard]] int selectedRow() const { return m_model.selectedRow(); }
    [[nodiscard]] const ChipEditorModel& model() const { return m_model; }
    /// The editing fields as the controls hold them, and back.
    [[nodiscard]] ChipEditorFields fields() const;
    void setFields(const ChipEditorFields& fields);

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
    QTableWidget* StringGrid1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QComboBox* ComboBox3 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QComboBox* ComboBox4 = nullptr;
    QComboBox* ComboBox5 = nullptr;
    QComboBox* ComboBox6 = nullptr;
    QComboBox* ComboBox7 = nullptr;
    QComboBox* ComboBox8 = nullptr;
    QComboBox* ComboBox9 = nullptr;
    QComboBox* ComboBox10 = nullptr;
    QComboBox* ComboBox11 = nullptr;
    QComboBox* ComboBox12 = nullptr;
    QWidget* Panel1 = nullptr;
    QPushButton* BtnDelete = nullptr;
    QPushButton* BtnAdd = nullptr;
    QPushButton* BtnEdit = nullptr;
    QPushButton* BtnSave = nullptr;
    QPushButton* BtnExit = nullptr;
};

} // namespace kestrum

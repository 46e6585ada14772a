#pragma once

#include "app/HandlerGuard.h"
#include "base/Reporter.h"
#include "chipdb/ChipRecord.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace kestrum {

struct ChipSearchRow;

/// The chip search dialog: every chip on opening, live filtering while typing, and
/// Select by button or double click.
class ChipSearchDialog : public QDialog
{
    Q_OBJECT
public:
    /// The chosen chip by its type, manufacturer and name.
    using ChipChoice = std::function<void(const QString& type, const QString& maker, const QString& name)>;

    /// reporter: the language and the error box. table: the chips listed. runGuarded: runs the
    /// dialog's handlers. choose: takes the chip of a Select.
    ChipSearchDialog(
        QWidget* parent, Reporter& reporter, const ChipTable& table, HandlerGuard runGuarded, ChipChoice choose);

    void listAllChips();
    void filterChanged();
    void selectionChanged();
    void selectChip();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuildColumns();
    /// Enter: Select with the highlighted row, or with the only row listed.
    void chooseByEnter();
    void addRow(const ChipSearchRow& row);

    Reporter& m_reporter;
    const ChipTable& m_table;
    HandlerGuard m_runGuarded;
    ChipChoice m_choose;

    // The controls; the caption table names them by their object names.
    QLabel* findLabel = nullptr;
    QComboBox* findCombo = nullptr;
    QTreeWidget* chipList = nullptr;
    QPushButton* selectButton = nullptr;
    QPushButton* quitButton = nullptr;
};

} // namespace kestrum

#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace kestrum {

class TForm1;
struct ChipSearchRow;

/// `TForm3`, the chip search dialog: every chip on opening, live filtering while typing, and
/// Select by button or double click.
class TForm3 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm3(TForm1* mainWindow);

    void FormShow();
    void ComboBox1Change();
    void ListView1SelectItem();
    void BitBtn1Click();

    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void rebuildColumns();
    void addRow(const ChipSearchRow& row);

    TForm1* m_main;
};

} // namespace kestrum

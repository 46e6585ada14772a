#pragma once

#include "buffer/Fill.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kestrum {

class TForm1;

/// `TForm4`, the fill dialog: a constant byte, a constant word or random bytes over an address
/// range of the buffer. Created once; what the user typed stays between openings.
class TForm4 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm4(TForm1* mainWindow);

    /// The dialog's content as a fill request.
    [[nodiscard]] FillRequest request() const;
    /// OK: fills, reloads the view and closes; on an error the box shows it and the dialog stays.
    void BitBtn1Click();

    QGroupBox* GroupBox1 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

    /// Seconds used to seed the random fill (the time of day; tests pin it).
    std::function<std::uint32_t()> clockSeconds;

private:
    TForm1* m_main;
};

} // namespace kestrum

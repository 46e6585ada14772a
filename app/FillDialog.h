#pragma once

#include "app/HandlerGuard.h"
#include "base/Reporter.h"
#include "buffer/DataBuffer.h"
#include "buffer/Fill.h"

#include <QDialog>

#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kestrum {

/// The fill dialog: a constant byte, a constant word or random bytes over an address
/// range of the buffer. Created once; what the user typed stays between openings.
class FillDialog : public QDialog
{
    Q_OBJECT
public:
    /// reporter: the language, the texts and the error box. buffer: what the fill writes.
    /// runGuarded: runs the dialog's handlers. reloadView: shows that many bytes of the buffer
    /// after a fill. takeViewEdits: takes the hex view's edits into the buffer before it.
    FillDialog(QWidget* parent, Reporter& reporter, DataBuffer& buffer, HandlerGuard runGuarded,
        std::function<void(std::uint32_t count)> reloadView, std::function<void()> takeViewEdits);

    /// Before each opening: the end address proposed for a chip of that size; the other fields
    /// keep what the user typed.
    void prepare(std::uint32_t chipSize);
    /// The dialog's content as a fill request.
    [[nodiscard]] FillRequest request() const;
    /// OK: takes the view's edits, fills, shows the chip (or up to the fill's end when it reaches
    /// past the chip) and closes; on an error the box shows it, nothing changes and the dialog stays.
    void fillAndClose();

    /// Seconds used to seed the random fill (the time of day; tests pin it).
    std::function<std::uint32_t()> clockSeconds;

private:
    Reporter& m_reporter;
    DataBuffer& m_buffer;
    HandlerGuard m_runGuarded;
    std::function<void(std::uint32_t)> m_reloadView;
    std::function<void()> m_takeViewEdits;
    std::uint32_t m_chipSize = 0;

    // The controls; the caption table names them by their object names.
    QGroupBox* dataGroup = nullptr;
    QRadioButton* byteRadio = nullptr;
    QLineEdit* byteEdit = nullptr;
    QRadioButton* wordRadio = nullptr;
    QLineEdit* wordEdit = nullptr;
    QRadioButton* randomRadio = nullptr;
    QGroupBox* rangeGroup = nullptr;
    QLabel* startLabel = nullptr;
    QLineEdit* startEdit = nullptr;
    QLabel* endLabel = nullptr;
    QLineEdit* endEdit = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
};

} // namespace kestrum

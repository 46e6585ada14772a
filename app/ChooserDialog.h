#pragma once

#include "base/UserInterface.h"

#include <QDialog>

class QTreeWidget;

namespace kestrum {

/// A modal list of rows with columns, one row to choose (detection's chips sharing an ID): the
/// preselected row is current, a double click or Enter takes the current row, Esc cancels.
class ChooserDialog : public QDialog
{
    Q_OBJECT
public:
    ChooserDialog(const UserInterface::Choice& choice, QWidget* parent);

    /// The current row.
    [[nodiscard]] int chosenRow() const;

private:
    QTreeWidget* m_list;
};

} // namespace kestrum

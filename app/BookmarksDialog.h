#pragma once

#include <QDialog>

class QListWidget;

namespace kestrum {

class HexEditor;

/// The bookmarks of the hex view, one row each with its digit and address: go to one (also by a
/// double click), remove one, or clear them all. The list follows the view while it is open.
class BookmarksDialog : public QDialog
{
    Q_OBJECT
public:
    BookmarksDialog(QWidget* parent, HexEditor& editor);

    /// Opens over the window with the rows of the bookmarks set now.
    void start();

private:
    void fill();
    /// The digit of the chosen row; -1 without one.
    [[nodiscard]] int chosenBookmark() const;
    void goToChosen();
    void removeChosen();
    void clearAll();

    HexEditor& m_editor;
    QListWidget* m_list = nullptr;
};

} // namespace kestrum

#pragma once

#include "hexview/EditorSearch.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kestrum {

class HexEditor;
class Reporter;

/// Find and Replace under the hex view: hexadecimal bytes or text (UTF-8 or the view's code
/// page), from the caret on, round the data; Replace and Replace all where the view allows it.
/// The bar says what happened in its own label rather than in message boxes.
class FindBar : public QWidget
{
    Q_OBJECT
public:
    FindBar(QWidget* parent, HexEditor& editor, const Reporter& reporter);

    /// Shows the bar for finding (`replacing` adds the replacement row) with the find entry ready
    /// to be typed over; a short selection becomes the entry.
    void start(bool replacing);
    void findNext();
    void findPrevious();
    void countMatches();
    void replaceOne();
    void replaceAll();
    /// What the last action said ("3 found", "Not found.", ...).
    [[nodiscard]] QString statusText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    /// The pattern of the entry in the chosen kind; empty (and the reason shown) when it has none.
    [[nodiscard]] SearchPattern pattern();
    /// The replacement bytes in the kind of the pattern; false (and the reason shown) when none.
    bool replacement(QByteArray& bytes);
    /// The pattern and the replacement, when the view lets one stand in for the other; false
    /// (and the reason shown) when not.
    bool replacing(SearchPattern& p, QByteArray& bytes);
    void find(bool backwards);
    void say(const QString& text);
    void tell(const FindResult& result);
    void closeBar();

    HexEditor& m_editor;
    const Reporter& m_reporter;
    QComboBox* m_find = nullptr;
    QComboBox* m_replace = nullptr;
    QRadioButton* m_hex = nullptr;
    QRadioButton* m_utf8 = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QWidget* m_replaceRow = nullptr;
    QLabel* m_replaceLabel = nullptr;
    QLabel* m_status = nullptr;
};

} // namespace kestrum

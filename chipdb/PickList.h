#pragma once

#include <QString>
#include <QStringList>

namespace kestrum {

/// The content of one selection list (a combo box of the main window) without the widget:
/// entries in order of appending, one selected index or none.
class PickList
{
public:
    [[nodiscard]] const QStringList& items() const { return m_items; }
    [[nodiscard]] int count() const { return int(m_items.size()); }
    [[nodiscard]] int selected() const { return m_selected; }

    void clear()
    {
        m_items.clear();
        m_selected = -1;
    }
    void append(const QString& text) { m_items << text; }
    /// Entry at an index; an index outside the list reads as empty text.
    [[nodiscard]] QString at(int index) const
    {
        return (index >= 0 && index < m_items.size()) ? m_items[index] : QString();
    }
    /// Membership ignores letter case.
    [[nodiscard]] bool containsIgnoringCase(const QString& text) const { return indexOfIgnoringCase(text) >= 0; }
    [[nodiscard]] int indexOfIgnoringCase(const QString& text) const
    {
        for (int i = 0; i < m_items.size(); ++i) {
            if (m_items[i].compare(text, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }
    /// Selecting an index outside the list leaves no selection.
    void select(int index) { m_selected = (index >= 0 && index < m_items.size()) ? index : -1; }
    /// The text the list shows: the selected entry, or empty.
    [[nodiscard]] QString text() const { return at(m_selected); }

private:
    QStringList m_items;
    int m_selected = -1;
};

} // namespace kestrum

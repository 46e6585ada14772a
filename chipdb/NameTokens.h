#pragma once

#include <QString>
#include <QStringList>

#include <stdexcept>

namespace kestrum {

/// Raised when a names text has fewer tokens than a reader asks for. It escapes to the event
/// handler, which shows it in the error box; the operation ends where it was raised.
class ListIndexError : public std::runtime_error
{
public:
    explicit ListIndexError(int index);
    [[nodiscard]] int index() const { return m_index; }
    [[nodiscard]] QString text() const;

private:
    int m_index;
};

/// The tokens of a chip's names text as the main window and the search dialog read them:
/// commas and characters 1..32 separate, double-quoted tokens may hold both ("" is one quote).
class NameTokens
{
public:
    explicit NameTokens(const QString& names);

    [[nodiscard]] int count() const { return int(m_tokens.size()); }
    /// Token i; throws ListIndexError when the text has no such token.
    [[nodiscard]] QString at(int i) const;
    /// Token i with leading and trailing characters of code 32 or below removed.
    [[nodiscard]] QString trimmedAt(int i) const;

private:
    QStringList m_tokens;
};

/// Removes leading and trailing characters of code 32 or below.
QString trimControl(const QString& text);

} // namespace kestrum

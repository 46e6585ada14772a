#pragma once

#include "hexview/HexEditorTypes.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

namespace kestrum {

/// What a search looks for: a run of bytes where each place accepts its own byte or, when the
/// case does not matter, the byte of the other case of the same character.
class SearchPattern
{
public:
    SearchPattern() = default;
    /// Exactly these bytes.
    explicit SearchPattern(const QByteArray& bytes);
    /// Each place accepts `bytes[i]` or `alternatives[i]` (the two have the same size).
    SearchPattern(const QByteArray& bytes, const QByteArray& alternatives);

    /// The bytes of "4B45", "4B 45" or "0x4B,0x45" (blanks, commas and line ends between them);
    /// none for any other text.
    static std::optional<QByteArray> bytesOfHexText(const QString& text);
    /// The bytes of hexadecimal text; empty when the text holds none.
    static SearchPattern ofHex(const QString& text);
    /// Text as UTF-8. Without `matchCase` a character also matches its other case where both
    /// cases take the same number of bytes.
    static SearchPattern ofUtf8(const QString& text, bool matchCase);
    /// Text in the code page of the view's character field (the system code page and then the
    /// translation); characters the code page has not make the pattern empty.
    static SearchPattern ofCodePage(const QString& text, bool matchCase, TranslationKind translation);

    [[nodiscard]] bool isEmpty() const { return m_bytes.isEmpty(); }
    [[nodiscard]] qint64 size() const { return m_bytes.size(); }
    [[nodiscard]] const QByteArray& bytes() const { return m_bytes; }

    /// The first match that starts at `from` or later; -1 when there is none.
    [[nodiscard]] qint64 next(const char* data, qint64 size, qint64 from) const;
    /// The last match that starts before `before`; -1 when there is none.
    [[nodiscard]] qint64 previous(const char* data, qint64 size, qint64 before) const;
    /// The number of matches that do not overlap, counted from the start.
    [[nodiscard]] qint64 count(const char* data, qint64 size) const;
    /// The data with every match (as count() finds them) replaced by `replacement`; `replaced`
    /// receives their number.
    [[nodiscard]] QByteArray replaced(
        const char* data, qint64 size, const QByteArray& replacement, qint64* replaced = nullptr) const;

private:
    void prepare();
    [[nodiscard]] bool matchesAt(const char* at) const;
    /// Calls `onMatch` with the start of every match that does not overlap an earlier one.
    template <typename OnMatch> void forEachMatch(const char* data, qint64 size, OnMatch onMatch) const;

    QByteArray m_bytes;
    QByteArray m_alternatives;
    bool m_exact = true;
    std::array<qint64, 256> m_forwardShift {};
    std::array<qint64, 256> m_backwardShift {};
};

} // namespace kestrum

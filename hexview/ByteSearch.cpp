#include "hexview/ByteSearch.h"

#include "hexview/Translation.h"

#include <QRegularExpression>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace kestrum {

SearchPattern::SearchPattern(const QByteArray& bytes)
    : SearchPattern(bytes, bytes)
{
}

SearchPattern::SearchPattern(const QByteArray& bytes, const QByteArray& alternatives)
    : m_bytes(bytes)
    , m_alternatives(alternatives.size() == bytes.size() ? alternatives : bytes)
{
    prepare();
}

std::optional<QByteArray> SearchPattern::bytesOfHexText(const QString& text)
{
    QByteArray digits;
    static const QRegularExpression separators(QStringLiteral("[\\s,;]+"));
    for (QString token : text.split(separators, Qt::SkipEmptyParts)) {
        if (token.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            token = token.mid(2);
        const QByteArray latin = token.toLatin1();
        const auto isDigit = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
        if (latin.isEmpty() || latin.size() % 2 != 0 || !std::all_of(latin.begin(), latin.end(), isDigit))
            return std::nullopt;
        digits += latin;
    }
    if (digits.isEmpty())
        return std::nullopt;
    return QByteArray::fromHex(digits);
}

SearchPattern SearchPattern::ofHex(const QString& text)
{
    return SearchPattern(bytesOfHexText(text).value_or(QByteArray()));
}

SearchPattern SearchPattern::ofUtf8(const QString& text, bool matchCase)
{
    QByteArray bytes;
    QByteArray alternatives;
    for (const char32_t code : text.toUcs4()) {
        const QString character = QString::fromUcs4(&code, 1);
        const QByteArray lower = character.toLower().toUtf8();
        const QByteArray upper = character.toUpper().toUtf8();
        if (matchCase || lower.size() != upper.size()) {
            bytes += character.toUtf8();
            alternatives += character.toUtf8();
        } else {
            bytes += lower;
            alternatives += upper;
        }
    }
    return SearchPattern(bytes, alternatives);
}

SearchPattern SearchPattern::ofCodePage(const QString& text, bool matchCase, TranslationKind translation)
{
    QByteArray codes;
    QByteArray alternatives;
    for (const QChar c : text) {
        const int code = charToSystemCode(c.unicode());
        if (code < 0)
            return {};
        const int lower = charToSystemCode(c.toLower().unicode());
        const int upper = charToSystemCode(c.toUpper().unicode());
        const bool folds = !matchCase && lower >= 0 && upper >= 0;
        codes += char(folds ? lower : code);
        alternatives += char(folds ? upper : code);
    }
    QByteArray bytes(codes.size(), Qt::Uninitialized);
    QByteArray other(codes.size(), Qt::Uninitialized);
    translateBufferFromAnsi(translation, codes.constData(), bytes.data(), codes.size());
    translateBufferFromAnsi(translation, alternatives.constData(), other.data(), codes.size());
    return SearchPattern(bytes, other);
}

void SearchPattern::prepare()
{
    m_exact = m_bytes == m_alternatives;
    const qint64 m = m_bytes.size();
    m_forwardShift.fill(std::max<qint64>(m, 1));
    m_backwardShift.fill(std::max<qint64>(m, 1));
    // Forward: a window is moved on by how far its last byte lies from the end of the pattern
    // where the pattern holds that byte last. Backward, mirrored: by the first byte.
    for (qint64 k = 0; k + 1 < m; ++k) {
        m_forwardShift[static_cast<quint8>(m_bytes[k])] = m - 1 - k;
        m_forwardShift[static_cast<quint8>(m_alternatives[k])] = m - 1 - k;
    }
    for (qint64 k = m - 1; k >= 1; --k) {
        m_backwardShift[static_cast<quint8>(m_bytes[k])] = k;
        m_backwardShift[static_cast<quint8>(m_alternatives[k])] = k;
    }
}

bool SearchPattern::matchesAt(const char* at) const
{
    const char* bytes = m_bytes.constData();
    const qint64 m = m_bytes.size();
    if (m_exact && m > 16)
        return std::memcmp(at, bytes, static_cast<size_t>(m)) == 0;
    // Short patterns (the usual case) compare inline: a call per place would cost more.
    const char* alternatives = m_exact ? bytes : m_alternatives.constData();
    for (qint64 k = 0; k < m; ++k)
        if (at[k] != bytes[k] && at[k] != alternatives[k])
            return false;
    return true;
}

qint64 SearchPattern::next(const char* data, qint64 size, qint64 from) const
{
    const qint64 m = m_bytes.size();
    from = std::max<qint64>(from, 0);
    if (m == 0 || from > size - m)
        return -1;
    if (m_exact) {
        const void* hit
            = memmem(data + from, static_cast<size_t>(size - from), m_bytes.constData(), static_cast<size_t>(m));
        return hit ? static_cast<const char*>(hit) - data : -1;
    }
    for (qint64 pos = from; pos <= size - m; pos += m_forwardShift[static_cast<quint8>(data[pos + m - 1])])
        if (matchesAt(data + pos))
            return pos;
    return -1;
}

qint64 SearchPattern::previous(const char* data, qint64 size, qint64 before) const
{
    const qint64 m = m_bytes.size();
    if (m == 0)
        return -1;
    for (qint64 pos = std::min(before - 1, size - m); pos >= 0; pos -= m_backwardShift[static_cast<quint8>(data[pos])])
        if (matchesAt(data + pos))
            return pos;
    return -1;
}

template <typename OnMatch> void SearchPattern::forEachMatch(const char* data, qint64 size, OnMatch onMatch) const
{
    const qint64 m = m_bytes.size();
    if (m == 0)
        return;
    // Matches close together (a blank chip holds one every two bytes) are found by looking at the
    // places one by one; after a run of misses a scan takes over, which costs more to start.
    constexpr int runBeforeScan = 32;
    const char* bytes = m_bytes.constData();
    const auto matches = [&](const char* at) {
        if (!m_exact)
            return matchesAt(at);
        for (qint64 k = 0; k < m; ++k)
            if (at[k] != bytes[k])
                return false;
        return true;
    };
    int misses = 0;
    for (qint64 pos = 0; pos <= size - m;) {
        if (matches(data + pos)) {
            onMatch(pos);
            pos += m;
            misses = 0;
        } else if (++misses < runBeforeScan) {
            ++pos;
        } else {
            pos = next(data, size, pos + 1);
            if (pos < 0)
                return;
            misses = 0;
        }
    }
}

qint64 SearchPattern::count(const char* data, qint64 size) const
{
    qint64 found = 0;
    forEachMatch(data, size, [&found](qint64) { ++found; });
    return found;
}

QByteArray SearchPattern::replaced(const char* data, qint64 size, const QByteArray& replacement, qint64* replaced) const
{
    const qint64 m = m_bytes.size();
    const qint64 matches = m > 0 && replacement.size() != m ? count(data, size) : 0;
    QByteArray result(size + matches * (replacement.size() - m), Qt::Uninitialized);
    char* out = result.data();
    qint64 found = 0;
    qint64 copied = 0;
    const auto copy = [&out](const char* from, qint64 n) {
        // Between matches close together only a few bytes move: a call per copy would cost more.
        if (n <= 16) {
            for (qint64 i = 0; i < n; ++i)
                *out++ = from[i];
            return;
        }
        std::memcpy(out, from, static_cast<size_t>(n));
        out += n;
    };
    forEachMatch(data, size, [&](qint64 pos) {
        copy(data + copied, pos - copied);
        copy(replacement.constData(), replacement.size());
        copied = pos + m;
        ++found;
    });
    copy(data + copied, size - copied);
    if (replaced)
        *replaced = found;
    return result;
}

} // namespace kestrum

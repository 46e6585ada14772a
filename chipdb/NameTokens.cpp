#include "chipdb/NameTokens.h"

namespace kestrum {

namespace {

bool isSeparatorChar(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= 32;
}

} // namespace

ListIndexError::ListIndexError(int index)
    : std::runtime_error(QStringLiteral("List index out of bounds (%1)").arg(index).toStdString())
    , m_index(index)
{
}

QString ListIndexError::text() const
{
    return QStringLiteral("List index out of bounds (%1)").arg(m_index);
}

NameTokens::NameTokens(const QString& names)
{
    const qsizetype n = names.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && isSeparatorChar(names[i]))
            ++i;
    };
    skipBlanks();
    while (i < n) {
        QString token;
        if (names[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (names[i] == QLatin1Char('"')) {
                    if (i + 1 < n && names[i + 1] == QLatin1Char('"')) {
                        token += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                token += names[i++];
            }
        } else {
            const qsizetype start = i;
            while (i < n && !isSeparatorChar(names[i]) && names[i] != QLatin1Char(','))
                ++i;
            token = names.mid(start, i - start);
        }
        m_tokens << token;
        skipBlanks();
        if (i < n && names[i] == QLatin1Char(',')) {
            if (i + 1 == n)
                m_tokens << QString();
            ++i;
            skipBlanks();
        }
    }
}

QString NameTokens::at(int i) const
{
    if (i < 0 || i >= m_tokens.size())
        throw ListIndexError(i);
    return m_tokens[i];
}

QString NameTokens::trimmedAt(int i) const
{
    return trimControl(at(i));
}

QString trimControl(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

} // namespace kestrum

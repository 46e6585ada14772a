#include "base/IniFile.h"

#include "base/IntegerText.h"
#include "base/RegularFile.h"
#include "base/ReplacementFile.h"

#include <QStringList>

namespace kestrum {

IniFile::IniFile(QString path)
    : m_path(std::move(path))
{
}

IniFile::LoadResult IniFile::load(QString* failure, int language)
{
    m_sections.clear();
    QByteArray content;
    int error = 0;
    const OpenFailure opened = readRegularFile(m_path, content, nullptr, &error);
    if (opened == OpenFailure::Missing)
        return LoadResult::Missing;
    if (opened != OpenFailure::None) {
        if (failure)
            *failure
                = opened == OpenFailure::NotRegular ? messageText(MsgNotRegularFile, language) : systemErrorText(error);
        return LoadResult::Failed;
    }
    // Lines before the first section belong to a section without a name.
    m_sections.push_back({QString(), {}, {}});
    for (const QByteArray& bytes : content.split('\n')) {
        QString line = QString::fromUtf8(bytes);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            m_sections.push_back({trimmed.mid(1, trimmed.size() - 2).trimmed(), {}, bytes});
            continue;
        }
        // A line without a key (a comment, or one that starts with '=') is kept as it is.
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString key = eq > 0 ? line.left(eq).trimmed() : QString();
        if (!key.isEmpty() && !trimmed.startsWith(QLatin1Char(';')))
            m_sections.back().entries.push_back({key, line.mid(eq + 1).trimmed(), bytes});
        else if (!trimmed.isEmpty())
            m_sections.back().entries.push_back({QString(), QString(), bytes});
    }
    return LoadResult::Loaded;
}

bool IniFile::save(QString* failure, int language) const
{
    QByteArray text;
    bool first = true;
    for (const Section& s : m_sections) {
        if (s.name.isEmpty() && s.entries.empty())
            continue;
        if (!s.name.isEmpty()) {
            if (!first)
                text += '\n';
            text += (s.line.isEmpty() ? '[' + s.name.toUtf8() + ']' : s.line) + '\n';
        }
        first = false;
        for (const Entry& e : s.entries)
            text += (e.line.isEmpty() ? e.key.toUtf8() + '=' + e.value.toUtf8() : e.line) + '\n';
    }

    ReplacementFile file(m_path, ReplacementFile::Sync::Yes);
    if (file.create()) {
        file.append(text.constData(), static_cast<std::size_t>(text.size()));
        if (file.commit())
            return true;
    }
    if (failure) {
        *failure = file.refusal() == TargetRefusal::NotRegular ? messageText(MsgNotRegularFile, language)
            : file.refusal() == TargetRefusal::SharedLink      ? messageText(MsgSharedLink, language)
                                                               : systemErrorText(file.error());
    }
    return false;
}

const IniFile::Entry* IniFile::find(const QString& section, const QString& key) const
{
    for (const Section& s : m_sections) {
        if (s.name.compare(section, Qt::CaseInsensitive) != 0)
            continue;
        for (const Entry& e : s.entries) {
            if (!e.key.isEmpty() && e.key.compare(key, Qt::CaseInsensitive) == 0)
                return &e;
        }
    }
    return nullptr;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const Entry* e = find(section, key);
    return e ? e->value : defaultValue;
}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const
{
    const Entry* e = find(section, key);
    if (!e)
        return defaultValue;
    return readInt32(e->value, IntegerNotation::decimalOrHex()).value_or(defaultValue);
}

bool IniFile::readBool(const QString& section, const QString& key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    for (Section& s : m_sections) {
        if (s.name.compare(section, Qt::CaseInsensitive) != 0)
            continue;
        for (Entry& e : s.entries) {
            if (!e.key.isEmpty() && e.key.compare(key, Qt::CaseInsensitive) == 0) {
                // The same value keeps its line as it was.
                if (e.value != value) {
                    e.value = value;
                    e.line.clear();
                }
                return;
            }
        }
        s.entries.push_back({key, value, {}});
        return;
    }
    m_sections.push_back({section, {{key, value, {}}}, {}});
}

void IniFile::writeInteger(const QString& section, const QString& key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value)
{
    writeInteger(section, key, value ? 1 : 0);
}

} // namespace kestrum

#include "base/IniFile.h"

#include "base/IntegerText.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>

namespace kestrum {

IniFile::IniFile(QString path)
    : m_path(std::move(path))
{
}

void IniFile::load()
{
    m_sections.clear();
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream in(&file);
    // Lines before the first section belong to a section without a name.
    m_sections.push_back({QString(), {}});
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            m_sections.push_back({trimmed.mid(1, trimmed.size() - 2).trimmed(), {}});
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && !trimmed.startsWith(QLatin1Char(';')))
            m_sections.back().entries.push_back({line.left(eq).trimmed(), line.mid(eq + 1).trimmed()});
        else if (!trimmed.isEmpty())
            m_sections.back().entries.push_back({QString(), line});
    }
}

bool IniFile::save() const
{
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    bool first = true;
    for (const Section& s : m_sections) {
        if (s.name.isEmpty() && s.entries.empty())
            continue;
        if (!s.name.isEmpty()) {
            if (!first)
                out << '\n';
            out << '[' << s.name << "]\n";
        }
        first = false;
        for (const Entry& e : s.entries) {
            if (e.key.isEmpty())
                out << e.value << '\n';
            else
                out << e.key << '=' << e.value << '\n';
        }
    }
    out.flush();
    return file.commit();
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
    return readInt32(e->value, IntegerNotation::pascal()).value_or(defaultValue);
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
                e.value = value;
                return;
            }
        }
        s.entries.push_back({key, value});
        return;
    }
    m_sections.push_back({section, {{key, value}}});
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

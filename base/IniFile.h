#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace kestrum {

/// A small INI file: [sections] of key=value lines. Section and key names are matched ignoring
/// letter case; lines, keys and sections that the program does not write are kept as they were.
class IniFile
{
public:
    explicit IniFile(QString path);

    [[nodiscard]] const QString& path() const { return m_path; }

    /// Reads the file; a missing file is an empty one.
    void load();
    /// Writes the file (atomically); false when it could not be written.
    bool save() const;

    /// Integer value (decimal, or hexadecimal with "$" or "0x"); the default when absent or not a number.
    [[nodiscard]] int readInteger(const QString& section, const QString& key, int defaultValue) const;
    /// Booleans are integers: any non-zero value is true.
    [[nodiscard]] bool readBool(const QString& section, const QString& key, bool defaultValue) const;
    void writeInteger(const QString& section, const QString& key, int value);
    /// Booleans are written as 1 and 0.
    void writeBool(const QString& section, const QString& key, bool value);

    [[nodiscard]] QString readString(const QString& section, const QString& key, const QString& defaultValue) const;
    void writeString(const QString& section, const QString& key, const QString& value);

private:
    struct Entry
    {
        QString key; ///< empty for a line kept verbatim (comment or blank)
        QString value; ///< value, or the verbatim line
    };
    struct Section
    {
        QString name;
        std::vector<Entry> entries;
    };

    const Entry* find(const QString& section, const QString& key) const;

    QString m_path;
    std::vector<Section> m_sections;
};

} // namespace kestrum

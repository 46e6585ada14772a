#pragma once

#include "base/Messages.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace kestrum {

/// A small INI file: [sections] of key=value lines. Section and key names are matched ignoring
/// letter case; lines, keys and sections that the program does not write are kept as they were,
/// byte for byte (also bytes that are no UTF-8), and so is a key written with the value it had.
class IniFile
{
public:
    explicit IniFile(QString path);

    [[nodiscard]] const QString& path() const { return m_path; }

    enum class LoadResult {
        Loaded,
        Missing, ///< no file: an empty one
        Failed, ///< no regular file, or it could not be read: empty, and *failure says why
    };
    /// Reads the file (only a regular file, opened without waiting). Texts of failures are in the
    /// language given.
    LoadResult load(QString* failure = nullptr, int language = EnglishLanguage);
    /// Writes the file atomically: every write, the sync and the close are checked, and the old
    /// file stays when any fails; only a regular file is replaced. False, with *failure saying
    /// why, when it could not be written.
    bool save(QString* failure = nullptr, int language = EnglishLanguage) const;

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
        QString key; ///< empty for a line kept verbatim (a comment)
        QString value;
        QByteArray line; ///< the line as read; empty once the program wrote another value
    };
    struct Section
    {
        QString name;
        std::vector<Entry> entries;
        QByteArray line; ///< the header line as read; empty for a section the program added
    };

    const Entry* find(const QString& section, const QString& key) const;

    QString m_path;
    std::vector<Section> m_sections;
};

} // namespace kestrum

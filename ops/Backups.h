#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace kestrum {

/// How keeping one chip image ended.
struct BackupResult
{
    enum class Kind {
        Blank, ///< every byte is 0xFF: nothing to keep, no file
        Exists, ///< a backup of the same chip name and CRC-32 is there already (file names it)
        Written, ///< file is the new backup
        Failed, ///< file could not be written; error says why
    };
    Kind kind = Kind::Blank;
    QString file;
    QString error;
};

/// The folder of automatic backups: each chip image as `YYYYMMDD-HHMMSS-<chip name>-<CRC-32>.bin`,
/// once per content, the oldest removed first when the folder grows past its limit.
class BackupFolder
{
public:
    /// The folder keeps at most this many bytes of backups.
    static constexpr std::int64_t DefaultLimit = std::int64_t(2) << 30;

    explicit BackupFolder(QString path)
        : m_path(std::move(path))
    {
    }
    [[nodiscard]] const QString& path() const { return m_path; }

    /// Keeps size bytes read from the chip of that name, taken at `when`.
    BackupResult keep(const std::uint8_t* data, std::uint32_t size, const QString& chipName, const QDateTime& when);
    /// Removes the oldest backups (by the time in their names) while the folder holds more than
    /// limit bytes of them; returns the paths removed.
    QStringList trim(std::int64_t limit = DefaultLimit);

    /// The file name of a backup; characters that do not belong in a file name become '_'.
    static QString fileName(const QDateTime& when, const QString& chipName, std::uint32_t crc);

private:
    QString m_path;
};

} // namespace kestrum

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
        Exists, ///< a backup of the same chip name and content is there already (file names it)
        Written, ///< file is the new backup
        Failed, ///< file could not be written; error says why
        Mismatch, ///< file was written but reads back from the disk otherwise than the chip read
    };
    Kind kind = Kind::Blank;
    QString file;
    QString error;
};

/// The folder of automatic backups: each chip image as `YYYYMMDD-HHMMSS-<chip name>-<CRC-32>.bin`,
/// once per content, the oldest removed first when the folder grows past its limit. A file counts
/// as a backup only when it really holds the image: a regular file of the image's size whose bytes
/// are the image's, as read from the disk.
class BackupFolder
{
public:
    /// The folder keeps at most this many bytes of backups.
    static constexpr std::int64_t DefaultLimit = std::int64_t(2) << 30;
    /// Whether a newly written backup is read back from the disk and compared with the image.
    enum class ReadBack { No, Yes };

    explicit BackupFolder(QString path)
        : m_path(std::move(path))
    {
    }
    [[nodiscard]] const QString& path() const { return m_path; }

    /// Keeps size bytes read from the chip of that name, taken at `when`. A backup written or found
    /// here is never trimmed by this process afterwards.
    BackupResult keep(const std::uint8_t* data, std::uint32_t size, const QString& chipName, const QDateTime& when,
        ReadBack readBack = ReadBack::Yes);
    /// Removes the backups written longest ago (by the files' modification times, then by name)
    /// while the folder holds more than limit bytes of them; backups this process wrote or relied
    /// on stay, whatever their times. Returns the paths removed.
    QStringList trim(std::int64_t limit = DefaultLimit);

    /// The file name of a backup; characters that do not belong in a file name become '_'.
    static QString fileName(const QDateTime& when, const QString& chipName, std::uint32_t crc);
    /// True when path is a regular file of exactly size bytes that equal data, read from the disk.
    static bool holds(const QString& path, const std::uint8_t* data, std::uint32_t size);

private:
    QString m_path;
};

} // namespace kestrum

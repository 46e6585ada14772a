#pragma once

#include <QByteArray>
#include <QString>

namespace kestrum {

/// A file that whole lines are appended to (the log that stays, the job log): a regular file
/// only, opened without waiting, so a FIFO or a device planted at its name never holds the
/// program. A write that stops short (a full disk, a size limit) is cut back to where the file
/// ended, so that no half line is left and the next line starts clean.
class LineFile
{
public:
    /// The error open returns for a name that is not a regular file.
    static constexpr int NotRegular = -1;

    LineFile() = default;
    ~LineFile() { close(); }
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    /// Opens (creates) the file for appending; 0, the errno why not, or NotRegular.
    int open(const QString& fileName);
    [[nodiscard]] bool isOpen() const { return m_fd >= 0; }
    /// Closes the file; 0 or the errno of the close.
    int close();
    /// The file's size in bytes; -1 when it cannot be told.
    [[nodiscard]] qint64 size() const;
    /// Appends the lines, all of them or none, synced to the disk when asked; 0 or the errno.
    int append(const QByteArray& lines, bool sync);

private:
    int m_fd = -1;
};

} // namespace kestrum

#pragma once

#include "base/LineFile.h"

#include <QByteArray>
#include <QString>

#include <mutex>

namespace kestrum {

/// The job log of a production run: a regular file opened without waiting (a FIFO or a device is
/// refused), a header line when it is empty, and lines that each reach the disk before the next
/// chip; lines from several threads never mix, and a line that cannot be written whole is not
/// left half.
class JobLog
{
public:
    /// Opens the file for appending; 0, or the errno why not (-1: not a regular file).
    int open(const QString& fileName);
    [[nodiscard]] bool isOpen() const { return m_file.isOpen(); }
    [[nodiscard]] const QString& fileName() const { return m_name; }
    /// Writes the header when the file is empty; 0 or the errno.
    int writeHeader(const QByteArray& header);
    /// Appends one line and syncs it; 0 or the errno.
    int writeLine(const QByteArray& line);

private:
    std::mutex m_mutex;
    LineFile m_file;
    QString m_name;
};

} // namespace kestrum

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace kestrum {

/// The log that stays: every log line with its date and time, appended to one file that is
/// rotated at a size (kestrum.log, kestrum.log.1, kestrum.log.2). Lines are kept in memory until
/// flush, so that a running job never waits for the disk.
class LogFile
{
public:
    /// The file is rotated before it would grow past this many bytes.
    static constexpr qint64 DefaultRotateBytes = 10 * 1000 * 1000;
    /// The current file and the rotated ones together.
    static constexpr int KeptFiles = 3;

    explicit LogFile(QString path, qint64 rotateBytes = DefaultRotateBytes);

    [[nodiscard]] const QString& path() const { return m_path; }

    /// Adds a line, "yyyy-MM-dd HH:mm:ss " before it.
    void append(const QString& line, const QDateTime& when = QDateTime::currentDateTime());
    /// True while lines wait for flush.
    [[nodiscard]] bool hasPending() const { return !m_pending.isEmpty(); }
    /// Writes the waiting lines (rotating first when they would make the file too long). False
    /// with the reason when the file cannot be written; the waiting lines are dropped then.
    bool flush(QString* error = nullptr);

private:
    /// kestrum.log.2 goes, .1 becomes .2, the file becomes .1.
    void rotate();

    QString m_path;
    qint64 m_rotateBytes;
    QByteArray m_pending;
};

} // namespace kestrum

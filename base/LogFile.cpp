#include "base/LogFile.h"

#include "base/LineFile.h"
#include "base/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kestrum {

LogFile::LogFile(QString path, qint64 rotateBytes)
    : m_path(std::move(path))
    , m_rotateBytes(rotateBytes)
{
}

void LogFile::append(const QString& line, const QDateTime& when)
{
    m_pending += when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")).toUtf8();
    m_pending += line.toUtf8();
    m_pending += '\n';
}

void LogFile::rotate()
{
    const auto numbered = [this](int n) { return m_path + QLatin1Char('.') + QString::number(n); };
    QFile::remove(numbered(KeptFiles - 1));
    for (int n = KeptFiles - 2; n >= 1; --n)
        QFile::rename(numbered(n), numbered(n + 1));
    QFile::rename(m_path, numbered(1));
}

bool LogFile::flush(QString* error)
{
    if (m_pending.isEmpty())
        return true;
    const QByteArray lines = std::exchange(m_pending, {});
    const QFileInfo info(m_path);
    if (info.exists() && info.size() > 0 && info.size() + lines.size() > m_rotateBytes)
        rotate();
    int failure = 0;
    if (!QDir().mkpath(info.absolutePath()))
        failure = EACCES;
    // A regular file only, opened without waiting: a FIFO planted there never holds the window.
    LineFile file;
    if (failure == 0)
        failure = file.open(m_path);
    if (failure == LineFile::NotRegular)
        failure = EINVAL;
    if (failure == 0)
        failure = file.append(lines, false);
    if (const int closed = file.close(); failure == 0)
        failure = closed;
    if (failure != 0 && error)
        *error = systemErrorText(failure);
    return failure == 0;
}

} // namespace kestrum

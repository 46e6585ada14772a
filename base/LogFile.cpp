#include "base/LogFile.h"

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
    const QByteArray name = encodeFileName(m_path);
    const int fd
        = failure ? -1 : ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (!failure && fd < 0)
        failure = errno;
    qsizetype done = 0;
    while (fd >= 0 && done < lines.size()) {
        const ssize_t n = ::write(fd, lines.constData() + done, static_cast<std::size_t>(lines.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure = n < 0 ? errno : EIO;
            break;
        }
        done += n;
    }
    if (fd >= 0 && ::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure != 0 && error)
        *error = systemErrorText(failure);
    return failure == 0;
}

} // namespace kestrum

#include "base/LineFile.h"

#include "base/RegularFile.h"

#include <cerrno>
#include <fcntl.h>

#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {

int LineFile::open(const QString& fileName)
{
    close();
    const QByteArray name = encodeFileName(fileName);
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return NotRegular;
    m_fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (m_fd < 0)
        return errno;
    const int statError = ::fstat(m_fd, &info) != 0 ? errno : 0;
    if (statError != 0 || !S_ISREG(info.st_mode)) {
        close();
        return statError != 0 ? statError : NotRegular;
    }
    return 0;
}

int LineFile::close()
{
    if (m_fd < 0)
        return 0;
    const int result = ::close(m_fd) == 0 ? 0 : errno;
    m_fd = -1;
    return result;
}

qint64 LineFile::size() const
{
    struct stat info
    {
    };
    return m_fd >= 0 && ::fstat(m_fd, &info) == 0 ? qint64(info.st_size) : -1;
}

int LineFile::append(const QByteArray& lines, bool sync)
{
    if (m_fd < 0)
        return EBADF;
    const qint64 before = size();
    qsizetype done = 0;
    while (done < lines.size()) {
        const ssize_t n = ::write(m_fd, lines.constData() + done, static_cast<std::size_t>(lines.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            // What was written of the lines goes again: the file ends with a whole line.
            if (done > 0 && before >= 0 && ::ftruncate(m_fd, before) != 0)
                return errno;
            return error;
        }
        done += n;
    }
    return sync && ::fdatasync(m_fd) != 0 ? errno : 0;
}

} // namespace kestrum

#include "buffer/ReplacementFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {

namespace {

/// The file a save really replaces: a symbolic link is followed, not replaced.
QString resolvedTarget(const QString& target)
{
    const QFileInfo info(target);
    if (!info.isSymLink())
        return target;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

} // namespace

ReplacementFile::ReplacementFile(const QString& target)
    : m_target(QFile::encodeName(resolvedTarget(target)))
{
}

ReplacementFile::~ReplacementFile()
{
    discard();
}

bool ReplacementFile::create()
{
    discard();
    m_failed = false;
    m_used = 0;

    struct stat existing
    {
    };
    const bool exists = ::stat(m_target.constData(), &existing) == 0;
    if (exists && (S_ISDIR(existing.st_mode) || ::access(m_target.constData(), W_OK) != 0))
        return false;

    // A hidden name beside the target, so that the rename stays within one file system.
    const qsizetype slash = m_target.lastIndexOf('/');
    const QByteArray folder = m_target.left(slash + 1);
    const QByteArray name = m_target.mid(slash + 1).left(200);
    if (name.isEmpty())
        return false;
    for (int attempt = 0; attempt < 16 && m_fd < 0; ++attempt) {
        const QByteArray candidate
            = folder + '.' + name + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_fd = fd;
            m_temporary = candidate;
        } else if (errno != EEXIST && errno != EINTR) {
            return false;
        }
    }
    if (m_fd < 0)
        return false;
    if (exists)
        (void)::fchmod(m_fd, existing.st_mode & 07777);
    m_block.reset(new char[BlockSize]);
    return true;
}

void ReplacementFile::writeOut(const char* data, std::size_t count)
{
    while (count > 0 && !m_failed) {
        const ssize_t n = ::write(m_fd, data, count);
        if (n > 0) {
            data += n;
            count -= static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            m_failed = true;
        }
    }
}

void ReplacementFile::flush()
{
    writeOut(m_block.get(), m_used);
    m_used = 0;
}

void ReplacementFile::append(const void* data, std::size_t count)
{
    const char* bytes = static_cast<const char*>(data);
    if (count <= BlockSize - m_used) {
        std::memcpy(m_block.get() + m_used, bytes, count);
        m_used += count;
        return;
    }
    flush();
    writeOut(bytes, count);
}

bool ReplacementFile::commit()
{
    if (m_fd < 0)
        return false;
    flush();
    if (::close(m_fd) != 0)
        m_failed = true;
    m_fd = -1;
    if (!m_failed && ::rename(m_temporary.constData(), m_target.constData()) != 0)
        m_failed = true;
    if (m_failed) {
        discard();
        return false;
    }
    m_temporary.clear();
    m_block.reset();
    return true;
}

void ReplacementFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
    m_temporary.clear();
    m_block.reset();
    m_used = 0;
}

} // namespace kestrum

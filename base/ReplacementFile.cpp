#include "base/ReplacementFile.h"

#include "base/RegularFile.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {

namespace {

/// The kernel's own limit of links followed in one lookup.
constexpr int MaxLinkHops = 40;

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

/// The protected-symlinks rule: a link that sits in a world-writable sticky folder is followed
/// only when its owner is the user who follows it or the folder's owner.
bool mayFollow(const struct stat& link, const QByteArray& folder)
{
    struct stat info
    {
    };
    if (::stat(folder.constData(), &info) != 0)
        return false;
    const bool shared = (info.st_mode & S_ISVTX) && (info.st_mode & S_IWOTH);
    return !shared || link.st_uid == ::geteuid() || link.st_uid == info.st_uid;
}

/// Temporary files that no save has finished within this many seconds were left by a save that
/// was killed; the next save to the same target removes them.
constexpr time_t StaleTemporarySeconds = 60;

/// FNV-1a: the same value for the same bytes in every process, so that a save finds the
/// temporary files that a killed save of another process left.
quint32 stableHash(const QByteArray& bytes)
{
    quint32 hash = 2166136261u;
    for (const char c : bytes)
        hash = (hash ^ static_cast<quint8>(c)) * 16777619u;
    return hash;
}

/// The start of every temporary file name of saves to `name` (a hidden name beside it, so that the
/// rename stays within one file system): the name, cut to leave room, and a hash of the whole
/// name, so that names that share their start do not share their temporary files.
QByteArray temporaryPrefix(const QByteArray& name)
{
    return '.' + name.left(180) + ".save-" + QByteArray::number(stableHash(name), 16) + '-';
}

/// Removes this user's regular files in `folder` named prefix + letters and digits + ".tmp" that
/// have not changed for StaleTemporarySeconds.
void removeStaleTemporaries(const QByteArray& folder, const QByteArray& prefix)
{
    DIR* dir = ::opendir(folder.isEmpty() ? "." : folder.constData());
    if (!dir)
        return;
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!name.startsWith(prefix) || !name.endsWith(".tmp"))
            continue;
        const QByteArray random = name.mid(prefix.size(), name.size() - prefix.size() - 4);
        const bool ours = !random.isEmpty() && std::all_of(random.begin(), random.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c));
        });
        struct stat info
        {
        };
        const QByteArray path = folder + name;
        if (ours && ::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid()
            && now - info.st_mtime > StaleTemporarySeconds)
            (void)::unlink(path.constData());
    }
    ::closedir(dir);
}

} // namespace

SaveTarget resolveSaveTarget(const QString& name)
{
    SaveTarget target;
    target.path = encodeFileName(name);
    for (int hop = 0; hop <= MaxLinkHops; ++hop) {
        struct stat info
        {
        };
        if (::lstat(target.path.constData(), &info) != 0) {
            if (errno != ENOENT) {
                target.error = errno;
                target.refusal = TargetRefusal::Unusable;
            }
            return target;
        }
        if (!S_ISLNK(info.st_mode)) {
            target.exists = true;
            if (S_ISDIR(info.st_mode))
                target.refusal = TargetRefusal::Folder;
            else if (!S_ISREG(info.st_mode))
                target.refusal = TargetRefusal::NotRegular;
            return target;
        }
        // The save replaces what the link names, not the link, and only where the link may be followed.
        const QByteArray folder = folderOf(target.path);
        if (!mayFollow(info, folder)) {
            target.refusal = TargetRefusal::SharedLink;
            return target;
        }
        QByteArray next(static_cast<qsizetype>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(target.path.constData(), next.data(), static_cast<size_t>(next.size()));
        if (n <= 0 || n >= next.size()) {
            target.error = n < 0 ? errno : ENAMETOOLONG;
            target.refusal = TargetRefusal::Unusable;
            return target;
        }
        next.truncate(n);
        target.path = next.startsWith('/') ? next : folder + '/' + next;
    }
    target.error = ELOOP;
    target.refusal = TargetRefusal::Unusable;
    return target;
}

ReplacementFile::ReplacementFile(const QString& target, Sync sync)
    : m_name(target)
    , m_sync(sync)
{
}

ReplacementFile::~ReplacementFile()
{
    discard();
}

void ReplacementFile::fail(int error)
{
    if (!m_failed)
        m_error = error;
    m_failed = true;
}

bool ReplacementFile::create()
{
    discard();
    m_failed = false;
    m_error = 0;
    m_used = 0;

    const SaveTarget target = resolveSaveTarget(m_name);
    m_refusal = target.refusal;
    m_target = target.path;
    if (target.refusal != TargetRefusal::None) {
        m_error = target.refusal == TargetRefusal::Folder ? EISDIR : target.error;
        return false;
    }
    struct stat existing
    {
    };
    if (target.exists) {
        if (::stat(m_target.constData(), &existing) != 0 || ::access(m_target.constData(), W_OK) != 0) {
            m_error = errno;
            return false;
        }
    }

    const qsizetype slash = m_target.lastIndexOf('/');
    const QByteArray folder = m_target.left(slash + 1);
    const QByteArray name = m_target.mid(slash + 1);
    if (name.isEmpty()) {
        m_error = EISDIR;
        return false;
    }
    const QByteArray prefix = temporaryPrefix(name);
    removeStaleTemporaries(folder, prefix);
    for (int attempt = 0; attempt < 16 && m_fd < 0; ++attempt) {
        const QByteArray candidate
            = folder + prefix + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            m_fd = fd;
            m_temporary = candidate;
        } else if (errno != EEXIST && errno != EINTR) {
            m_error = errno;
            return false;
        }
    }
    if (m_fd < 0) {
        m_error = EEXIST;
        return false;
    }
    if (target.exists)
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
            fail(n < 0 ? errno : ENOSPC);
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
    if (!m_failed && m_sync == Sync::Yes && ::fsync(m_fd) != 0)
        fail(errno);
    // A file system may report a failed write only when the file is closed.
    if (::close(m_fd) != 0)
        fail(errno);
    m_fd = -1;
    if (!m_failed && ::rename(m_temporary.constData(), m_target.constData()) != 0)
        fail(errno);
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

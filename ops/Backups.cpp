#include "ops/Backups.h"

#include "base/RegularFile.h"
#include "base/ReplacementFile.h"
#include "buffer/Checksum.h"
#include "buffer/HexText.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <QMutex>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {

namespace {

/// Backups are the files named by the rule of fileName; nothing else in the folder is touched.
const QRegularExpression& backupName()
{
    static const QRegularExpression pattern(QStringLiteral("^\\d{8}-\\d{6}-.*-[0-9A-F]{8}\\.bin$"));
    return pattern;
}

QString safeName(const QString& chipName)
{
    QString name = chipName.trimmed();
    for (QChar& c : name)
        if (!(c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('+') || c == QLatin1Char('_')))
            c = QLatin1Char('_');
    return name.isEmpty() ? QStringLiteral("chip") : name;
}

/// The backups this process wrote or found holding a chip it was about to change: a trim never
/// removes them, so a backup stays whatever time its name or its file carries.
struct ReliedOn
{
    QMutex mutex;
    QSet<QString> paths;
};

ReliedOn& reliedOn()
{
    static ReliedOn backups;
    return backups;
}

void relyOn(const QString& path)
{
    ReliedOn& r = reliedOn();
    const QMutexLocker lock(&r.mutex);
    r.paths.insert(QFileInfo(path).absoluteFilePath());
}

/// Makes the folder and its parents; 0 or the system's error number of the part that failed (a
/// file where a folder belongs gives ENOTDIR).
int makeFolder(const QString& path)
{
    const QByteArray bytes = encodeFileName(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    for (qsizetype end = 1; end <= bytes.size(); ++end) {
        if (end < bytes.size() && bytes[end] != '/')
            continue;
        const QByteArray part = bytes.left(end);
        struct stat info
        {
        };
        if (::stat(part.constData(), &info) == 0) {
            if (!S_ISDIR(info.st_mode))
                return ENOTDIR;
            continue;
        }
        if (errno != ENOENT)
            return errno;
        if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST)
            return errno;
    }
    return 0;
}

} // namespace

bool BackupFolder::holds(const QString& path, const std::uint8_t* data, std::uint32_t size)
{
    std::uint64_t fileSize = 0;
    const int fd = openRegularFile(path, &fileSize);
    if (fd < 0)
        return false;
    // The written pages leave the cache, so what follows is read from the disk itself.
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    bool same = fileSize == size;
    constexpr std::uint32_t Chunk = 1U << 20;
    std::vector<std::uint8_t> chunk(same ? std::min(Chunk, size) : 0);
    for (std::uint32_t at = 0; same && at < size; at += Chunk) {
        const std::uint32_t n = std::min(Chunk, size - at);
        same = readFully(fd, chunk.data(), n, at) == n && std::memcmp(chunk.data(), data + at, n) == 0;
    }
    ::close(fd);
    return same;
}

QString BackupFolder::fileName(const QDateTime& when, const QString& chipName, std::uint32_t crc)
{
    return QStringLiteral("%1-%2-%3.bin")
        .arg(when.toString(QStringLiteral("yyyyMMdd-HHmmss")), safeName(chipName), crc32Text(crc));
}

BackupResult BackupFolder::keep(
    const std::uint8_t* data, std::uint32_t size, const QString& chipName, const QDateTime& when, ReadBack readBack)
{
    BackupResult result;
    if (hextext::allErased(data, size))
        return result;
    const std::uint32_t crc = crc32(data, size);
    const QDir folder(m_path);
    // The same chip with the same content is kept once, whenever it was read; a file of that name
    // counts only when its bytes are the chip's.
    const QString tail = QStringLiteral("-%1-%2.bin").arg(safeName(chipName), crc32Text(crc));
    for (const QString& name : folder.entryList(QDir::Files | QDir::System, QDir::Name)) {
        if (name.endsWith(tail) && backupName().match(name).hasMatch() && holds(folder.filePath(name), data, size)) {
            result.kind = BackupResult::Kind::Exists;
            result.file = folder.filePath(name);
            relyOn(result.file);
            return result;
        }
    }
    result.file = folder.filePath(fileName(when, chipName, crc));
    result.kind = BackupResult::Kind::Failed;
    if (const int error = makeFolder(m_path)) {
        result.error = systemErrorText(error);
        return result;
    }
    ReplacementFile file(result.file, ReplacementFile::Sync::Yes);
    bool written = file.create();
    if (written) {
        file.append(data, size);
        written = file.commit();
    }
    if (!written) {
        result.error = systemErrorText(file.error() != 0 ? file.error() : EIO);
        return result;
    }
    if (readBack == ReadBack::Yes && !holds(result.file, data, size)) {
        // A file that does not hold the image must not pass for its backup later.
        QFile::remove(result.file);
        result.kind = BackupResult::Kind::Mismatch;
        return result;
    }
    relyOn(result.file);
    result.kind = BackupResult::Kind::Written;
    return result;
}

QStringList BackupFolder::trim(std::int64_t limit)
{
    QStringList removed;
    const QDir folder(m_path);
    // A clock set back gives new backups old names: the time a file was written decides its age,
    // and the backups this process relies on are never candidates.
    QFileInfoList backups;
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files, QDir::Name))
        if (backupName().match(info.fileName()).hasMatch())
            backups << info;
    std::sort(backups.begin(), backups.end(), [](const QFileInfo& a, const QFileInfo& b) {
        const QDateTime ta = a.lastModified();
        const QDateTime tb = b.lastModified();
        return ta != tb ? ta < tb : a.fileName() < b.fileName();
    });
    std::int64_t total = 0;
    for (const QFileInfo& info : backups)
        total += info.size();
    ReliedOn& kept = reliedOn();
    const QMutexLocker lock(&kept.mutex);
    for (const QFileInfo& info : backups) {
        if (total <= limit)
            break;
        if (kept.paths.contains(info.absoluteFilePath()))
            continue;
        if (QFile::remove(info.filePath())) {
            total -= info.size();
            removed << info.filePath();
        }
    }
    return removed;
}

} // namespace kestrum

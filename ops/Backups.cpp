#include "ops/Backups.h"

#include "base/RegularFile.h"
#include "base/ReplacementFile.h"
#include "buffer/Checksum.h"
#include "buffer/HexText.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

} // namespace

QString BackupFolder::fileName(const QDateTime& when, const QString& chipName, std::uint32_t crc)
{
    return QStringLiteral("%1-%2-%3.bin")
        .arg(when.toString(QStringLiteral("yyyyMMdd-HHmmss")), safeName(chipName), crc32Text(crc));
}

BackupResult BackupFolder::keep(
    const std::uint8_t* data, std::uint32_t size, const QString& chipName, const QDateTime& when)
{
    BackupResult result;
    if (hextext::allErased(data, size))
        return result;
    const std::uint32_t crc = crc32(data, size);
    const QDir folder(m_path);
    // The same chip with the same content is kept once, whenever it was read.
    const QString tail = QStringLiteral("-%1-%2.bin").arg(safeName(chipName), crc32Text(crc));
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
        if (name.endsWith(tail) && backupName().match(name).hasMatch()) {
            result.kind = BackupResult::Kind::Exists;
            result.file = folder.filePath(name);
            return result;
        }
    }
    result.file = folder.filePath(fileName(when, chipName, crc));
    result.kind = BackupResult::Kind::Failed;
    if (!QDir().mkpath(m_path)) {
        result.error = systemErrorText(EACCES);
        return result;
    }
    ReplacementFile file(result.file, ReplacementFile::Sync::Yes);
    if (file.create()) {
        file.append(data, size);
        if (file.commit()) {
            result.kind = BackupResult::Kind::Written;
            return result;
        }
    }
    result.error = systemErrorText(file.error() != 0 ? file.error() : EIO);
    return result;
}

QStringList BackupFolder::trim(std::int64_t limit)
{
    QStringList removed;
    const QDir folder(m_path);
    // The names start with the time the chip was read: name order is age order.
    QFileInfoList backups;
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files, QDir::Name))
        if (backupName().match(info.fileName()).hasMatch())
            backups << info;
    std::sort(backups.begin(), backups.end(),
        [](const QFileInfo& a, const QFileInfo& b) { return a.fileName() < b.fileName(); });
    std::int64_t total = 0;
    for (const QFileInfo& info : backups)
        total += info.size();
    for (const QFileInfo& info : backups) {
        if (total <= limit)
            break;
        if (QFile::remove(info.filePath())) {
            total -= info.size();
            removed << info.filePath();
        }
    }
    return removed;
}

} // namespace kestrum

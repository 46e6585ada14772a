#include "chipdb/ChipDatabase.h"

#include "base/RegularFile.h"
#include "base/ReplacementFile.h"
#include "base/Reporter.h"
#include "chipdb/NameTokens.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace kestrum {

QString databasePathFor(const QString& executablePath)
{
    const QFileInfo info(executablePath);
    const QString suffix = info.suffix();
    QString base = executablePath;
    if (!suffix.isEmpty())
        base.chop(suffix.size() + 1);
    return base + QStringLiteral(".Dat");
}

QString databaseFilePath()
{
    return databasePathFor(QCoreApplication::applicationFilePath());
}

QString editorIntegrityText()
{
    return QString::fromUtf16(u"配置文件被破坏！");
}

namespace {

/// The reason text of a file the database cannot use.
QString failureReason(const Reporter& reporter, OpenFailure failure, int error)
{
    return failure == OpenFailure::NotRegular ? reporter.message(MsgNotRegularFile) : systemErrorText(error);
}

/// A listed record that no reader can take: names without their terminator, that are no GBK text,
/// or that do not split into a type, a manufacturer and a name.
bool isDamaged(const ChipRecord& record)
{
    if (!std::memchr(record.names, 0, NamesSize))
        return true;
    const QString names = record.namesText();
    return names.contains(QChar::ReplacementCharacter) || NameTokens(names).count() < 3;
}

/// Takes the damaged records out of the list, moving the ones after them up; the slots of the
/// list that fall free are cleared. Returns the slot numbers the damaged records had.
QStringList leaveOutDamaged(ChipTable& table)
{
    QStringList damaged;
    int kept = 0;
    int slot = 0;
    for (; slot < ChipSlots && !table[slot].isEnd(); ++slot) {
        if (isDamaged(table[slot])) {
            damaged << QString::number(slot);
            continue;
        }
        if (kept != slot)
            table[kept] = table[slot];
        ++kept;
    }
    for (int i = kept; i < slot; ++i)
        table[i] = ChipRecord {};
    return damaged;
}

} // namespace

LoadResult loadChipDatabaseFile(const QString& path, ChipTable& table, Reporter& reporter, IntegrityMessage integrity)
{
    // Only a regular file is read, and without waiting: a FIFO of that name cannot stop the program.
    // A file longer than the table loads its first 1000 records; nothing lands past the table.
    QByteArray content;
    std::uint64_t size = 0;
    int error = 0;
    const OpenFailure failure
        = readRegularFile(path, content, &size, &error, std::uint64_t(ChipSlots) * ChipRecordSize);
    if (failure == OpenFailure::Missing)
        return LoadResult::NoFile;
    if (failure != OpenFailure::None) {
        reporter.showError(reporter.message(MsgDatabaseUnreadable).arg(path, failureReason(reporter, failure, error)));
        return LoadResult::NoFile;
    }

    if (size % ChipRecordSize != 0) {
        if (integrity == IntegrityMessage::EditorFixedText)
            reporter.showError(editorIntegrityText());
        else
            reporter.showError(MsgConfigDestroyed);
        return LoadResult::Destroyed;
    }
    std::memcpy(table.bytes(), content.constData(), static_cast<size_t>(content.size()));
    // One damaged record costs that record, not the database.
    const QStringList damaged = leaveOutDamaged(table);
    if (!damaged.isEmpty())
        reporter.addLogLine(reporter.message(MsgDatabaseRecordsDamaged).arg(damaged.join(QStringLiteral(", "))));
    return LoadResult::Loaded;
}

bool writeDatabaseFile(const QString& path, const char* bytes, qint32 length, Reporter& reporter)
{
    // Every write, the sync and the close are checked; the old file stays until the new one is whole.
    ReplacementFile file(path, ReplacementFile::Sync::Yes);
    bool written = file.create();
    if (written) {
        file.append(bytes, static_cast<std::size_t>(std::max(length, 0)));
        written = file.commit();
    }
    if (!written) {
        const QString reason = file.refusal() == TargetRefusal::NotRegular ? reporter.message(MsgNotRegularFile)
            : file.refusal() == TargetRefusal::SharedLink                  ? reporter.message(MsgSharedLink)
                                                                           : systemErrorText(file.error());
        reporter.showError(reporter.message(MsgDatabaseUnwritable).arg(path, reason));
    }
    return written;
}

} // namespace kestrum

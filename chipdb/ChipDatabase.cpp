#include "chipdb/ChipDatabase.h"

#include "base/RegularFile.h"
#include "base/ReplacementFile.h"
#include "base/Reporter.h"

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

#include "chipdb/ChipDatabase.h"

#include "base/Reporter.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

QString DatabaseFilePath()
{
    return databasePathFor(QCoreApplication::applicationFilePath());
}

QString editorIntegrityText()
{
    return QString::fromUtf16(u"配置文件被破坏！");
}

LoadResult loadChipDatabaseFile(const QString& path, ChipTable& table, Reporter& reporter, IntegrityMessage integrity)
{
    if (!QFileInfo::exists(path))
        return LoadResult::NoFile;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reporter.ShowErrorBox(reporter.MessageText(MsgDatabaseUnreadable).arg(path, file.errorString()));
        return LoadResult::NoFile;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        reporter.ShowErrorBox(reporter.MessageText(MsgDatabaseUnreadable).arg(path, file.errorString()));
        return LoadResult::NoFile;
    }

    if (content.size() % ChipRecordSize != 0) {
        if (integrity == IntegrityMessage::EditorFixedText)
            reporter.ShowErrorBox(editorIntegrityText());
        else
            reporter.ShowErrorBox(MsgConfigDestroyed);
        return LoadResult::Destroyed;
    }

    // A file longer than the table loads its first 1000 records; nothing lands past the table.
    const qsizetype count = std::min<qsizetype>(content.size(), qsizetype(ChipSlots) * ChipRecordSize);
    std::memcpy(table.bytes(), content.constData(), static_cast<size_t>(count));
    return LoadResult::Loaded;
}

bool WriteDatabaseFile(const QString& path, const char* bytes, qint32 length, Reporter& reporter)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        reporter.ShowErrorBox(reporter.MessageText(MsgDatabaseUnwritable).arg(path, file.errorString()));
        return false;
    }
    if (length > 0 && file.write(bytes, length) != length) {
        const QString reason = file.errorString();
        file.cancelWriting();
        reporter.ShowErrorBox(reporter.MessageText(MsgDatabaseUnwritable).arg(path, reason));
        return false;
    }
    if (!file.commit()) {
        reporter.ShowErrorBox(reporter.MessageText(MsgDatabaseUnwritable).arg(path, file.errorString()));
        return false;
    }
    return true;
}

} // namespace kestrum

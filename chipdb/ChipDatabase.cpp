#include "chipdb/ChipDatabase.h"

#include "app/Shell.h"

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

LoadResult loadChipDatabaseFile(const QString& path, ChipTable& table, Shell& shell, IntegrityMessage integrity)
{
    if (!QFileInfo::exists(path))
        return LoadResult::NoFile;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        shell.ShowErrorBox(shell.MessageText(MsgDatabaseUnreadable).arg(path, file.errorString()));
        return LoadResult::NoFile;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        shell.ShowErrorBox(shell.MessageText(MsgDatabaseUnreadable).arg(path, file.errorString()));
        return LoadResult::NoFile;
    }

    if (content.size() % ChipRecordSize != 0) {
        if (integrity == IntegrityMessage::EditorFixedText)
            shell.ShowErrorBox(editorIntegrityText());
        else
            shell.ShowErrorBox(MsgConfigDestroyed);
        return LoadResult::Destroyed;
    }

    // A file longer than the table loads its first 1000 records; nothing lands past the table.
    const qsizetype count = std::min<qsizetype>(content.size(), qsizetype(ChipSlots) * ChipRecordSize);
    std::memcpy(table.bytes(), content.constData(), static_cast<size_t>(count));
    return LoadResult::Loaded;
}

bool WriteDatabaseFile(const QString& path, const char* bytes, qint32 length, Shell& shell)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        shell.ShowErrorBox(shell.MessageText(MsgDatabaseUnwritable).arg(path, file.errorString()));
        return false;
    }
    if (length > 0 && file.write(bytes, length) != length) {
        const QString reason = file.errorString();
        file.cancelWriting();
        shell.ShowErrorBox(shell.MessageText(MsgDatabaseUnwritable).arg(path, reason));
        return false;
    }
    if (!file.commit()) {
        shell.ShowErrorBox(shell.MessageText(MsgDatabaseUnwritable).arg(path, file.errorString()));
        return false;
    }
    return true;
}

} // namespace kestrum

#include "base/FileLocations.h"

#include "base/RegularFile.h"
#include "base/ReplacementFile.h"
#include "base/Reporter.h"
#include "base/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kestrum {

namespace {

QString userFolder(const EnvironmentLookup& environment, const char* variable, const char* fallback)
{
    // An XDG variable that is not an absolute path is to be ignored.
    const QString set = environment(variable);
    if (!set.isEmpty() && QDir::isAbsolutePath(set))
        return QDir(set).filePath(QStringLiteral("kestrum"));
    return QDir(environment("HOME")).filePath(QLatin1String(fallback) + QStringLiteral("/kestrum"));
}

QByteArray contentOf(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? file.readAll() : QByteArray();
}

// Writes `bytes` to `target` through the checked replacement: a half-written database never
// replaces a good one, and no planted link or file of a fixed name is written through.
bool writeWhole(const QString& target, const QByteArray& bytes, QString* error, const Reporter& reporter)
{
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        *error = QStringLiteral("cannot create the folder");
        return false;
    }
    ReplacementFile file(target, ReplacementFile::Sync::Yes);
    if (file.create()) {
        file.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        if (file.commit())
            return true;
    }
    *error = file.refusal() == TargetRefusal::NotRegular ? reporter.message(MsgNotRegularFile)
        : file.refusal() == TargetRefusal::SharedLink    ? reporter.message(MsgSharedLink)
                                                         : systemErrorText(file.error());
    return false;
}

} // namespace

QString systemEnvironment(const char* name)
{
    return qEnvironmentVariable(name);
}

FileLocations locateFiles(const QString& executablePath, const EnvironmentLookup& environment)
{
    FileLocations files;
    const QFileInfo executable(executablePath);
    const QString folder = executable.absolutePath();
    const QString settingsName = QFileInfo(settingsPathFor(executablePath)).fileName();
    QString databaseName = settingsName;
    databaseName.chop(4); // ".ini"
    databaseName += QStringLiteral(".Dat");

    const QString beside = QDir(folder).filePath(databaseName);
    const QString installed = QDir::cleanPath(folder + QStringLiteral("/../share/kestrum/") + databaseName);
    const bool isInstalled = QFileInfo::exists(installed);
    files.portable = !isInstalled && QFileInfo(folder).isWritable();
    if (files.portable) {
        files.settingsFile = QDir(folder).filePath(settingsName);
        files.databaseFile = beside;
        files.shippedDatabase = beside;
        files.logFile = QDir(folder).filePath(QStringLiteral("kestrum.log"));
        files.backupFolder = QDir(folder).filePath(QStringLiteral("backups"));
        return files;
    }
    files.logFile
        = QDir(userFolder(environment, "XDG_STATE_HOME", ".local/state")).filePath(QStringLiteral("kestrum.log"));
    files.settingsFile = QDir(userFolder(environment, "XDG_CONFIG_HOME", ".config")).filePath(settingsName);
    const QDir data(userFolder(environment, "XDG_DATA_HOME", ".local/share"));
    files.databaseFile = data.filePath(databaseName);
    files.shippedDatabase = isInstalled ? installed : beside;
    files.shippedCopy = data.filePath(databaseName + QStringLiteral(".shipped"));
    files.backupFolder = data.filePath(QStringLiteral("backups"));
    return files;
}

FileLocations programFiles(const QString& programFolder, const EnvironmentLookup& environment)
{
    return locateFiles(QDir(programFolder).filePath(QStringLiteral("kestrum")), environment);
}

QString databaseToLoad(const FileLocations& files)
{
    return QFileInfo::exists(files.databaseFile) ? files.databaseFile : files.shippedDatabase;
}

DatabaseUpdate prepareUserDatabase(
    const FileLocations& files, Reporter& reporter, const std::function<bool(const QString&)>& askReplace)
{
    if (files.portable || files.databaseFile == files.shippedDatabase)
        return DatabaseUpdate::Nothing;
    bool haveShipped = false;
    const QByteArray shipped = contentOf(files.shippedDatabase, &haveShipped);
    if (!haveShipped)
        return DatabaseUpdate::Nothing; // the load reports the missing database

    QString error;
    const auto copy = [&](DatabaseUpdate done) {
        if (writeWhole(files.databaseFile, shipped, &error, reporter)
            && writeWhole(files.shippedCopy, shipped, &error, reporter))
            return done;
        reporter.showError(reporter.message(MsgDatabaseCopyFailed).arg(files.databaseFile, error));
        return DatabaseUpdate::Failed;
    };

    bool haveUser = false;
    const QByteArray user = contentOf(files.databaseFile, &haveUser);
    if (!haveUser)
        return copy(DatabaseUpdate::Copied);
    bool haveLast = false;
    const QByteArray last = contentOf(files.shippedCopy, &haveLast);
    if (haveLast && last == shipped)
        return DatabaseUpdate::Nothing;
    if (user == shipped)
        return writeWhole(files.shippedCopy, shipped, &error, reporter) ? DatabaseUpdate::Nothing
                                                                        : DatabaseUpdate::Failed;
    // The program brought a database other than the one last copied. A copy that still equals
    // that one was never edited and simply follows; an edited copy is replaced only on a yes.
    const bool untouched = haveLast && user == last;
    if (untouched || askReplace(files.databaseFile))
        return copy(DatabaseUpdate::Replaced);
    // Remember the answer: the same shipped database is not asked about again.
    writeWhole(files.shippedCopy, shipped, &error, reporter);
    return DatabaseUpdate::KeptEdited;
}

} // namespace kestrum

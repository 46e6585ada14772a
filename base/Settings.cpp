#include "base/Settings.h"

#include "base/IniFile.h"
#include "base/Reporter.h"

#include <QFileInfo>

#include <algorithm>

namespace kestrum {

namespace {
const QString Environment = QStringLiteral("Environment");
const QString Chip = QStringLiteral("CHIP");
const QString Device = QStringLiteral("DEVICE");
// The folder the file dialogs last used: a section of its own, apart from the keys above.
const QString Folders = QStringLiteral("Folders");
// The confirmed read and the automatic backup.
const QString Safety = QStringLiteral("Safety");
} // namespace

QString settingsPathFor(const QString& executablePath)
{
    const QString suffix = QFileInfo(executablePath).suffix();
    QString base = executablePath;
    if (!suffix.isEmpty())
        base.chop(suffix.size() + 1);
    return base + QStringLiteral(".ini");
}

Settings readSettings(const IniFile& ini, Reporter* reporter)
{
    const auto outOfRange = [&](const QString& key) {
        if (reporter)
            reporter->addLogLine(
                reporter->message(MsgSettingOutOfRange).arg(key, ini.readString(Device, key, QString()), ini.path()));
    };
    Settings s;
    s.formMax = ini.readBool(Environment, QStringLiteral("FormMax"), false);
    if (!s.formMax) {
        s.formTop = ini.readInteger(Environment, QStringLiteral("FormTop"), 10);
        s.formLeft = ini.readInteger(Environment, QStringLiteral("FormLeft"), 10);
        s.formHeight = ini.readInteger(Environment, QStringLiteral("FormHeight"), 500);
        s.formWidth = ini.readInteger(Environment, QStringLiteral("FormWidth"), 700);
    }
    s.typeIndex = ini.readInteger(Chip, QStringLiteral("INDEX1"), 0);
    s.makerIndex = ini.readInteger(Chip, QStringLiteral("INDEX2"), 0);
    s.nameIndex = ini.readInteger(Chip, QStringLiteral("INDEX3"), 0);
    s.chip = ini.readInteger(Device, QStringLiteral("chip"), 0);
    s.speed = ini.readInteger(Device, QStringLiteral("SPEED"), 0);
    if (s.speed < 0 || s.speed >= SpeedChoices) {
        outOfRange(QStringLiteral("SPEED"));
        s.speed = 0;
    }
    s.language = ini.readInteger(Device, QStringLiteral("LANGU"), 0);
    s.languageStored = !ini.readString(Device, QStringLiteral("LANGU"), QString()).isEmpty();
    if (s.languageStored && (s.language < 0 || s.language >= LanguageCount)) {
        outOfRange(QStringLiteral("LANGU"));
        s.language = 0;
        s.languageStored = false;
    }
    s.lastFolder = ini.readString(Folders, QStringLiteral("Last"), QString());
    s.readTwice = ini.readBool(Safety, QStringLiteral("ReadTwice"), false);
    s.backUp = ini.readBool(Safety, QStringLiteral("Backup"), true);
    s.programmer = ini.readString(Device, QStringLiteral("Programmer"), QString());
    return s;
}

void writeSettings(IniFile& ini, const Settings& s)
{
    ini.writeInteger(Environment, QStringLiteral("FormHeight"), s.formHeight);
    ini.writeInteger(Environment, QStringLiteral("FormWidth"), s.formWidth);
    ini.writeInteger(Environment, QStringLiteral("FormTop"), s.formTop);
    ini.writeInteger(Environment, QStringLiteral("FormLeft"), s.formLeft);
    ini.writeBool(Environment, QStringLiteral("FormMax"), s.formMax);
    ini.writeInteger(Chip, QStringLiteral("INDEX1"), s.typeIndex);
    ini.writeInteger(Chip, QStringLiteral("INDEX2"), s.makerIndex);
    ini.writeInteger(Chip, QStringLiteral("INDEX3"), s.nameIndex);
    ini.writeInteger(Device, QStringLiteral("SPEED"), s.speed);
    ini.writeInteger(Device, QStringLiteral("LANGU"), s.language);
    if (!s.lastFolder.isEmpty())
        ini.writeString(Folders, QStringLiteral("Last"), s.lastFolder);
    ini.writeBool(Safety, QStringLiteral("ReadTwice"), s.readTwice);
    ini.writeBool(Safety, QStringLiteral("Backup"), s.backUp);
    if (!s.programmer.isEmpty())
        ini.writeString(Device, QStringLiteral("Programmer"), s.programmer);
}

bool storeSettings(IniFile& ini, const Settings& settings, Reporter& reporter)
{
    QString failure;
    if (ini.load(&failure, reporter.language()) != IniFile::LoadResult::Failed) {
        writeSettings(ini, settings);
        if (ini.save(&failure, reporter.language()))
            return true;
    }
    reporter.showError(reporter.message(MsgSettingsUnwritable).arg(ini.path(), failure));
    return false;
}

QSize clampWindowSize(QSize wanted, QSize available)
{
    return {std::clamp(wanted.width(), 1, std::max(available.width(), 1)),
        std::clamp(wanted.height(), 1, std::max(available.height(), 1))};
}

} // namespace kestrum

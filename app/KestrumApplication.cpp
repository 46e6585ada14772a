#include "app/KestrumApplication.h"

#include "app/MainWindow.h"
#include "base/FileLocations.h"
#include "base/Reporter.h"
#include "base/UserInterface.h"

#include <QDir>
#include <QFileInfo>

#include <QMessageBox>

#include <exception>

namespace kestrum {

KestrumApplication::KestrumApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("kestrum"));
    setApplicationVersion(QStringLiteral("2.0"));
    setOrganizationName(QStringLiteral("Kestrum"));
    setDesktopFileName(QStringLiteral("kestrum"));
}

void prepareStart(TForm1& window)
{
    Reporter& reporter = window.reporter();
    const QString note = qEnvironmentVariable("KESTRUM_START_NOTE");
    if (note == QLatin1String("sim-absent"))
        reporter.addLogLine(MsgStartSimulatedAbsent);
    else if (note == QLatin1String("sim-chosen"))
        reporter.addLogLine(MsgStartSimulatedChosen);
    else if (note == QLatin1String("real"))
        reporter.addLogLine(MsgStartReal);

    const FileLocations files = locateFiles(window.executablePath());
    if (files.portable)
        return;
    // The settings are written at close, into a folder that may not exist yet.
    QDir().mkpath(QFileInfo(files.settingsFile).absolutePath());
    prepareUserDatabase(files, reporter, [&reporter](const QString& userCopy) {
        return reporter.ui().askYesNo(reporter.message(MsgNewerDatabase).arg(userCopy));
    });
}

bool KestrumApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        QMessageBox::critical(activeWindow(), QStringLiteral("Error"), QString::fromLocal8Bit(e.what()));
    }
    return false;
}

} // namespace kestrum

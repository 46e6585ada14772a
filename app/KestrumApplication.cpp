#include "app/KestrumApplication.h"

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

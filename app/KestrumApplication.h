#pragma once

#include <QApplication>

namespace kestrum {

/// The application object: an error that escapes an event handler is shown in an error box and
/// the program goes on.
class KestrumApplication : public QApplication
{
public:
    KestrumApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

class MainWindow;

/// Before the main window is first shown: the first log line names the programmer that
/// `scripts/run.sh` chose (environment variable KESTRUM_START_NOTE: "sim-absent", "sim-chosen" or
/// "real"), and an installed program gets its user folders and its own copy of the chip database.
void prepareStart(MainWindow& window);

} // namespace kestrum

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

} // namespace kestrum

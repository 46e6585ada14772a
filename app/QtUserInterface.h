#pragma once

#include "app/UserInterface.h"

#include <functional>

class QWidget;

namespace kestrum {

/// The window implementation of the user-interface seam: message boxes, file dialogs, the beep,
/// and the log box (through a callback that inserts a line at its top).
class QtUserInterface : public UserInterface
{
public:
    QtUserInterface(QWidget* parent, std::function<void(const QString&)> insertLog);

    void showError(const QString& text) override;
    bool askYesNo(const QString& text) override;
    void showInformation(const QString& text) override;
    void beep() override;
    QString chooseOpenFile(const QString& filter) override;
    QString chooseSaveFile(const QString& filter, const QString& defaultSuffix) override;
    void insertLogLine(const QString& line) override;

    /// "Binary (*.bin)|*.bin|All files (*.*)|*.*" → "Binary (*.bin);;All files (*.*)" for Qt's dialogs.
    static QString qtFilter(const QString& pipeFilter);

private:
    QWidget* m_parent;
    std::function<void(const QString&)> m_insertLog;
};

} // namespace kestrum

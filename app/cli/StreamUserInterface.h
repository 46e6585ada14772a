#pragma once

#include "base/UserInterface.h"

#include <QTextStream>

namespace kestrum::cli {

/// The command-line tool's user interface: every box becomes one line on a text stream (standard
/// error), questions are answered No, there are no file dialogs and the log is dropped.
class StreamUserInterface : public UserInterface
{
public:
    explicit StreamUserInterface(QTextStream& out)
        : m_out(out)
    {
    }

    void showError(const QString& text) override;
    bool askYesNo(const QString& text) override;
    void showInformation(const QString& text) override;
    void beep() override { }
    QString chooseOpenFile(const QString&) override { return {}; }
    QString chooseSaveFile(const QString&, const QString&) override { return {}; }
    void insertLogLine(const QString&) override { }

    /// Error boxes shown so far: a load that returns 0 failed only if one was shown.
    [[nodiscard]] int errorCount() const { return m_errors; }

private:
    QTextStream& m_out;
    int m_errors = 0;
};

} // namespace kestrum::cli

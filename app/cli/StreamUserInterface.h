#pragma once

#include "base/UserInterface.h"

#include <QTextStream>

namespace kestrum::cli {

/// The command-line tool's user interface: every box becomes one line on a text stream (standard
/// error), questions are answered by --yes (No without it), the file dialogs answer with the file
/// the command line named, and log lines are printed as they come.
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
    QString chooseOpenFile(const QString&) override { return m_file; }
    QString chooseSaveFile(const QString&, const QString&) override { return m_file; }
    void insertLogLine(const QString& line) override;
    /// The preselected row; with none (chips that need different supplies), the list is printed
    /// and nothing is chosen.
    std::optional<int> chooseRow(const Choice& choice) override;
    /// The button the command line chose in advance (setPreferredButton) when the question offers
    /// it; otherwise a Yes/No question.
    int askButtons(const QString& text, const QStringList& captions) override;
    /// A question that offers a button of that caption takes it, and says so with the option that
    /// chose it (--erase).
    void setPreferredButton(const QString& caption, const QString& option)
    {
        m_preferredButton = caption;
        m_preferredOption = option;
    }

    /// Questions are answered Yes (--yes) instead of No.
    void setAnswerYes(bool yes) { m_yes = yes; }
    /// Information boxes and log lines are dropped (--quiet); errors and questions are still printed.
    void setQuiet(bool quiet) { m_quiet = quiet; }
    /// The file the next Open or Save dialog answers with.
    void setFile(const QString& file) { m_file = file; }
    /// While true, an error that does not name the file gets its path appended: the file
    /// commands' own texts do not always say which file they mean.
    void setNameFileInErrors(bool name) { m_nameFile = name; }

    /// Error boxes shown so far: a load that returns 0 failed only if one was shown.
    [[nodiscard]] int errorCount() const { return m_errors; }
    /// Questions answered No so far.
    [[nodiscard]] int declinedCount() const { return m_declined; }
    /// Lists printed without a choice so far.
    [[nodiscard]] int unchosenCount() const { return m_unchosen; }

private:
    QTextStream& m_out;
    QString m_file;
    int m_errors = 0;
    int m_declined = 0;
    int m_unchosen = 0;
    bool m_yes = false;
    bool m_quiet = false;
    bool m_nameFile = false;
    QString m_preferredButton;
    QString m_preferredOption;
};

} // namespace kestrum::cli

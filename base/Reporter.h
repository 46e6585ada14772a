#pragma once

#include "base/Messages.h"
#include "base/UserInterface.h"

#include <QString>

namespace kestrum {

/// How every command speaks to the user: the current language, the message table, the error box
/// and the numbered log. The main window owns one; tests build their own over a scripted user
/// interface.
class Reporter
{
public:
    explicit Reporter(UserInterface& ui);

    [[nodiscard]] UserInterface& ui() const { return *m_ui; }

    /// The language as stored (0..2 normally; other values are kept so they can be saved back).
    [[nodiscard]] int language() const { return m_language; }
    void setLanguage(int language) { m_language = language; }

    /// Text of a message table entry in the current language.
    [[nodiscard]] QString message(MessageKey key) const;

    /// Shows the error box; while errors are logged, writes its text as one log line first.
    void showError(const QString& text);
    void showError(MessageKey key) { showError(message(key)); }
    /// Chip commands log their error boxes as well, so that the log tells how every run ended.
    void setErrorsLogged(bool logged) { m_errorsLogged = logged; }
    [[nodiscard]] bool errorsLogged() const { return m_errorsLogged; }
    /// Sets whether error boxes are logged for as long as it lives, then restores the setting.
    class ErrorLogging
    {
    public:
        ErrorLogging(Reporter& reporter, bool logged)
            : m_reporter(reporter)
            , m_before(reporter.errorsLogged())
        {
            reporter.setErrorsLogged(logged);
        }
        ~ErrorLogging() { m_reporter.setErrorsLogged(m_before); }
        ErrorLogging(const ErrorLogging&) = delete;
        ErrorLogging& operator=(const ErrorLogging&) = delete;

    private:
        Reporter& m_reporter;
        bool m_before;
    };

    /// "%03d:" of the log counter, then the counter moves on.
    QString nextLogPrefix();
    /// Inserts the numbered line at the top of the log.
    void addLogLine(const QString& text);
    void addLogLine(MessageKey key) { addLogLine(message(key)); }

    [[nodiscard]] qint32 logCounter() const { return m_logCounter; }

private:
    UserInterface* m_ui;
    int m_language = 0;
    qint32 m_logCounter = 1;
    bool m_errorsLogged = false;
};

} // namespace kestrum

#include "base/Reporter.h"

namespace kestrum {

Reporter::Reporter(UserInterface& ui)
    : m_ui(&ui)
{
}

QString Reporter::message(MessageKey key) const
{
    return messageText(key, m_language);
}

void Reporter::showError(const QString& text)
{
    // A box may span lines; the log keeps one line per entry.
    if (m_errorsLogged)
        addLogLine(text.simplified());
    m_ui->showError(text);
}

QString Reporter::nextLogPrefix()
{
    // At least three digits; numbers past 999 keep all their digits.
    const QString prefix = QStringLiteral("%1:").arg(m_logCounter, 3, 10, QLatin1Char('0'));
    ++m_logCounter;
    return prefix;
}

void Reporter::addLogLine(const QString& text)
{
    m_ui->insertLogLine(nextLogPrefix() + text);
}

} // namespace kestrum

#include "app/Shell.h"

namespace kestrum {

Shell::Shell(UserInterface& ui)
    : m_ui(&ui)
{
}

QString Shell::MessageText(MessageKey key) const
{
    return messageText(key, m_language);
}

void Shell::ShowErrorBox(const QString& text) const
{
    m_ui->showError(text);
}

QString Shell::NextLogPrefix()
{
    // At least three digits; numbers past 999 keep all their digits.
    const QString prefix = QStringLiteral("%1:").arg(m_logCounter, 3, 10, QLatin1Char('0'));
    ++m_logCounter;
    return prefix;
}

void Shell::AddLogLine(const QString& text)
{
    m_ui->insertLogLine(NextLogPrefix() + text);
}

} // namespace kestrum

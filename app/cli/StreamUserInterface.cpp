#include "app/cli/StreamUserInterface.h"

namespace kestrum::cli {

void StreamUserInterface::showError(const QString& text)
{
    ++m_errors;
    m_out << text;
    if (m_nameFile && !m_file.isEmpty() && !text.contains(m_file))
        m_out << ' ' << m_file;
    m_out << '\n';
    m_out.flush();
}

std::optional<int> StreamUserInterface::chooseRow(const Choice& choice)
{
    if (choice.preselected >= 0)
        return choice.preselected;
    ++m_unchosen;
    m_out << choice.text << '\n';
    for (const QStringList& row : choice.rows)
        m_out << "  " << row.join(QStringLiteral("  ")) << '\n';
    m_out.flush();
    return std::nullopt;
}

int StreamUserInterface::askButtons(const QString& text, const QStringList& captions)
{
    const int preferred = m_preferredButton.isEmpty() ? -1 : int(captions.indexOf(m_preferredButton));
    if (preferred < 0)
        return UserInterface::askButtons(text, captions);
    if (!m_quiet) {
        m_out << text << ' ' << m_preferredOption << '\n';
        m_out.flush();
    }
    return preferred;
}

bool StreamUserInterface::askYesNo(const QString& text)
{
    if (!m_yes)
        ++m_declined;
    if (!m_quiet || !m_yes) {
        m_out << text << (m_yes ? " --yes" : "") << '\n';
        m_out.flush();
    }
    return m_yes;
}

void StreamUserInterface::showInformation(const QString& text)
{
    if (m_quiet)
        return;
    m_out << text << '\n';
    m_out.flush();
}

void StreamUserInterface::insertLogLine(const QString& line)
{
    showInformation(line);
}

} // namespace kestrum::cli

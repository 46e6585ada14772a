#include "app/cli/StreamUserInterface.h"

namespace kestrum::cli {

void StreamUserInterface::showError(const QString& text)
{
    ++m_errors;
    m_out << text << '\n';
    m_out.flush();
}

bool StreamUserInterface::askYesNo(const QString& text)
{
    m_out << text << '\n';
    m_out.flush();
    return false;
}

void StreamUserInterface::showInformation(const QString& text)
{
    m_out << text << '\n';
    m_out.flush();
}

} // namespace kestrum::cli

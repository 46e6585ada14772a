#include "app/cli/CliProduction.h"

#include "app/cli/CliJobs.h"
#include "app/cli/StreamUserInterface.h"
#include "base/Messages.h"

namespace kestrum::cli {

CliProductionOutput::CliProductionOutput(
    const std::vector<ProgrammerInfo>& programmers, Settings settings, QTextStream& out, QTextStream& err)
    : m_programmers(programmers)
    , m_settings(std::move(settings))
    , m_out(out)
    , m_err(err)
{
}

template <typename F> auto CliProductionOutput::said(std::size_t socket, F f)
{
    QString text;
    QTextStream stream(&text);
    StreamUserInterface ui(stream);
    ui.setAnswerYes(m_settings.yes);
    ui.setQuiet(m_settings.quiet);
    if (!m_settings.preferredButton.isEmpty())
        ui.setPreferredButton(m_settings.preferredButton, QStringLiteral("--erase"));
    const auto answer = f(ui);
    stream.flush();
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!text.isEmpty()) {
        clearProgressLine(m_settings.progress);
        const QString prefix = m_settings.gang ? QStringLiteral("[%1] ").arg(location(socket)) : QString();
        for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            m_err << prefix << line << '\n';
        m_err.flush();
    }
    return answer;
}

void CliProductionOutput::message(std::size_t socket, const QString& text, Kind kind)
{
    said(socket, [&](StreamUserInterface& ui) {
        if (kind == Kind::Error)
            ui.showError(text);
        else
            ui.showInformation(text);
        return 0;
    });
}

bool CliProductionOutput::askYesNo(std::size_t socket, const QString& text)
{
    return said(socket, [&](StreamUserInterface& ui) { return ui.askYesNo(text); });
}

int CliProductionOutput::askButtons(std::size_t socket, const QString& text, const QStringList& captions)
{
    return said(socket, [&](StreamUserInterface& ui) { return ui.askButtons(text, captions); });
}

void CliProductionOutput::progress(std::size_t, const QString& status, quint32 position, quint32 maximum,
    const std::optional<ProgressEstimate::Estimate>& estimate)
{
    if (m_settings.gang)
        return;
    const std::lock_guard<std::mutex> lock(m_mutex);
    drawProgressLine(m_settings.progress, progressLine(status, position, maximum, estimate));
}

void CliProductionOutput::progressHidden(std::size_t)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_settings.gang)
        clearProgressLine(m_settings.progress);
}

void CliProductionOutput::chipEnded(std::size_t socket, const ProducedChip& chip)
{
    const int language = m_settings.language;
    const QString line = m_settings.gang
        ? messageText(chip.passed ? MsgGangChipPassed : MsgGangChipFailed, language)
              .arg(location(socket))
              .arg(chip.number)
              .arg(chip.id, chip.serial)
              .arg(chip.seconds, 0, 'f', 1)
        : messageText(chip.passed ? MsgCliChipPassed : MsgCliChipFailed, language).arg(chip.number).arg(chip.serial);
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_out << line << '\n';
    m_out.flush();
}

void CliProductionOutput::waitingForChip(std::size_t)
{
    if (m_settings.beforeSocketLook)
        m_settings.beforeSocketLook();
}

void CliProductionOutput::summary(const std::vector<SocketTally>& tallies)
{
    int passed = 0;
    int failed = 0;
    for (const SocketTally& tally : tallies) {
        passed += tally.passed;
        failed += tally.failed;
    }
    const int language = m_settings.language;
    m_out << (m_settings.gang ? messageText(MsgGangSummary, language).arg(m_programmers.size()).arg(passed).arg(failed)
                              : messageText(MsgCliSummary, language).arg(passed).arg(failed))
          << '\n';
    m_out.flush();
}

} // namespace kestrum::cli

// kestrum-cli: every chip job of the window from a terminal, on the window's own libraries.
#include "app/cli/CliCommands.h"
#include "app/cli/CliJobs.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliProduction.h"
#include "app/cli/Convert.h"
#include "app/cli/SeriesCommands.h"
#include "app/cli/SeriesRun.h"
#include "app/cli/StreamUserInterface.h"
#include "base/FileLocations.h"
#include "base/Language.h"
#include "base/Messages.h"
#include "base/RegularFile.h"
#include "base/Reporter.h"
#include "buffer/Checksum.h"
#include "buffer/DataBuffer.h"
#include "buffer/FileCommands.h"
#include "buffer/ImageFile.h"
#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipEditorModel.h"
#include "chipdb/NameTokens.h"
#include "jobs/JobLog.h"
#include "jobs/ProductionRun.h"
#include "jobs/SerialNumber.h"
#include "link/UsbLink.h"
#include "ops/ChipOperations.h"
#include "ops/ChipProgrammer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

namespace kestrum::cli {

namespace {

/// A run's numbers from a series of the record store.
class SeriesNumbers : public ChipNumbers
{
public:
    explicit SeriesNumbers(SeriesRun& series)
        : m_series(series)
    {
    }
    int take(DataBuffer& image, const QString& location, Reporter& reporter, QString& shown) override
    {
        return m_series.takeInto(image, location, reporter, shown) ? ExitOk : ExitStore;
    }
    int finish(const QString& location, const QString& chipId, const QString& imageSha256, bool passed,
        double seconds, const QString& reason, Reporter& reporter) override
    {
        return m_series.record(
                   {QDateTime::currentDateTimeUtc(), {}, location, chipId, {}, {}, imageSha256, passed, seconds, reason},
                   reporter)
            ? ExitOk
            : ExitStore;
    }

private:
    SeriesRun& m_series;
};

/// One run of a command that needs the database, with everything it works on.
class Run
{
public:
    Run(const Options& o, CliControl& control, QTextStream& out, QTextStream& err)
        : m_o(o)
        , m_control(control)
        , m_out(out)
        , m_err(err)
        , m_ui(err)
        , m_reporter(m_ui)
    {
        m_reporter.setLanguage(o.language);
        m_ui.setAnswerYes(o.yes);
        m_ui.setQuiet(o.quiet);
    }

    int list();
    int info();
    /// The attached programmers, one line each: location, product, state.
    int programmers();
    int chipCommand(const CommandHelp& command);

private:
    /// After detection: every listed flash with the detected ID is a candidate. The detect command
    /// lists them; a job goes on with the chip --chip names among them, or the only one.
    int settleDetected(bool listOnly);
    /// auto --repeat on one programmer, auto --all-programmers on every free one: the production
    /// run of those programmers.
    int production(const std::vector<ProgrammerInfo>& programmers, const std::optional<Serial>& serial);
    int loadDatabase();
    int chooseChip();
    int loadImage(const QString& file);
    /// Writes that serial number into the image.
    void putSerial(const Serial& serial, quint64 value);
    /// Points the link at the programmer --programmer names; without it, with several attached,
    /// lists them and ends the command (a chip command never picks one of several).
    int chooseProgrammer(UsbLink& usb);
    /// auto --all-programmers: the free programmers, or none (said why).
    std::vector<ProgrammerInfo> freeProgrammers();
    /// Opens the job log of --job-log, if any, with its header in a new file; ExitFile (and the
    /// reason shown) when it cannot be used.
    int openJobLog(JobLog& log, const QByteArray& header);
    /// Says which signal ended the command.
    void sayStopped();
    QString message(MessageKey key) const { return m_reporter.message(key); }

    const Options& m_o;
    CliControl& m_control;
    QTextStream& m_out;
    QTextStream& m_err;
    StreamUserInterface m_ui;
    Reporter m_reporter;
    std::unique_ptr<ChipTable> m_table = std::make_unique<ChipTable>();
    std::unique_ptr<DataBuffer> m_buffer;
    std::unique_ptr<CliJobs> m_jobs;
    std::unique_ptr<SeriesRun> m_series; ///< auto --series
};

int Run::loadDatabase()
{
    const QString path = !m_o.database.isEmpty() ? m_o.database
        : QCoreApplication::instance()           ? databaseToLoad(programFiles(QCoreApplication::applicationDirPath()))
                                                 : QStringLiteral("kestrum.Dat");
    const int errors = m_ui.errorCount();
    const LoadResult r = loadChipDatabaseFile(path, *m_table, m_reporter);
    if (r == LoadResult::NoFile && m_ui.errorCount() == errors)
        m_reporter.showError(message(MsgDatabaseUnreadable).arg(path, QString::fromLocal8Bit(std::strerror(ENOENT))));
    return r == LoadResult::Loaded && m_ui.errorCount() == errors ? ExitOk : ExitFile;
}

int Run::list()
{
    if (m_o.operands.size() > 1)
        return usageError(m_err, QStringLiteral("list takes one TEXT"));
    if (const int status = loadDatabase())
        return status;
    const QString text = m_o.operands.value(0);
    int found = 0;
    for (int i = 0; i < m_table->listedCount(); ++i) {
        const NameTokens tokens((*m_table)[i].namesText());
        bool match = text.isEmpty();
        for (int k = 0; k < 3 && !match; ++k)
            match = tokens.trimmedAt(k).contains(text, Qt::CaseInsensitive);
        if (match) {
            m_out << chipLine((*m_table)[i]) << '\n';
            ++found;
        }
    }
    m_out.flush();
    if (found > 0 || text.isEmpty())
        return ExitOk;
    m_reporter.showError(message(MsgCliNoSuchChip).arg(text));
    return ExitUsage;
}

int Run::programmers()
{
    if (!m_o.operands.isEmpty())
        return usageError(m_err, QStringLiteral("programmers takes no operand"));
    UsbLink usb;
    const std::vector<ProgrammerInfo> list = usb.listProgrammers();
    for (const ProgrammerInfo& p : list)
        m_out << programmerLine(p) << '\n';
    m_out.flush();
    if (list.empty())
        m_ui.showInformation(message(MsgCliNoProgrammers));
    return ExitOk;
}

int Run::chooseProgrammer(UsbLink& usb)
{
    if (!m_o.programmer.isEmpty()) {
        usb.setLocation(m_o.programmer.toLatin1());
        return ExitOk;
    }
    const std::vector<ProgrammerInfo> list = usb.listProgrammers();
    if (list.size() <= 1)
        return ExitOk;
    m_reporter.showError(MsgCliSeveralProgrammers);
    for (const ProgrammerInfo& p : list)
        m_ui.showError(QStringLiteral("  ") + programmerLine(p));
    return ExitUsage;
}

int Run::openJobLog(JobLog& log, const QByteArray& header)
{
    if (m_o.jobLog.isEmpty())
        return ExitOk;
    // A regular file, opened without waiting: a FIFO or a device is refused before the first chip
    // instead of blocking it.
    const int error = log.open(m_o.jobLog);
    const int headerError = error == 0 ? log.writeHeader(header) : 0;
    if (error == 0 && headerError == 0)
        return ExitOk;
    const QString why = error == -1 ? message(MsgNotRegularFile) : systemErrorText(error ? error : headerError);
    m_reporter.showError(message(error ? MsgSaveRefused : MsgJobLogUnwritable).arg(m_o.jobLog, why));
    return ExitFile;
}

std::vector<ProgrammerInfo> Run::freeProgrammers()
{
    UsbLink usb;
    std::vector<ProgrammerInfo> usable;
    for (const ProgrammerInfo& p : usb.listProgrammers()) {
        if (p.state == ProgrammerInfo::State::Free)
            usable.push_back(p);
        else
            m_ui.showError(QStringLiteral("  ") + programmerLine(p));
    }
    if (usable.empty())
        m_reporter.showError(MsgNotConnected);
    return usable;
}

int Run::production(const std::vector<ProgrammerInfo>& programmers, const std::optional<Serial>& serial)
{
    const bool gang = m_o.allProgrammers;
    JobLog log;
    if (openJobLog(log, jobLogHeader(gang)) != ExitOk)
        return ExitFile;
    ProductionJob job = productionJob(*m_table, m_jobs->currentRecord(), m_jobs->speedIndex(), !m_o.noErase,
        !m_o.noProgram, !m_o.noVerify, *m_buffer);
    job.serial = serial;
    std::optional<SeriesNumbers> series;
    if (m_series)
        job.numbers = &series.emplace(*m_series);
    job.repeat = m_o.repeat;
    // One programmer's run ends after its chip; several stop at their next block.
    job.stopAfterChip = !gang;
    // Production runs stay fast: a backup only when asked for.
    job.backupFolder = m_o.backup;
    job.readTwice = m_o.twice;
    job.logProgrammer = gang;
    job.language = m_reporter.language();
    CliProductionOutput::Settings settings;
    settings.gang = gang;
    settings.yes = m_o.yes;
    settings.quiet = m_o.quiet;
    if (m_o.erase)
        settings.preferredButton = message(MsgButtonEraseAndWrite);
    settings.language = job.language;
    settings.progress = !gang && !m_o.quiet && isatty(STDERR_FILENO) == 1 ? stderr : nullptr;
    settings.beforeSocketLook = m_control.beforeSocketLook;
    CliProductionOutput output(programmers, settings, m_out, m_err);
    const auto tallies = runProduction(job, programmers, log.isOpen() ? &log : nullptr, output, m_control.stop);
    output.summary(tallies);
    const int status = productionStatus(tallies, m_control.stop);
    if (m_control.stop.requested())
        sayStopped();
    return status;
}

void Run::sayStopped()
{
    switch (m_control.stop.signal()) {
    case SIGTERM:
        m_reporter.showError(message(MsgCliStoppedBySignal).arg(QStringLiteral("SIGTERM")));
        break;
    case SIGHUP:
        m_reporter.showError(message(MsgCliStoppedBySignal).arg(QStringLiteral("SIGHUP")));
        break;
    default:
        m_reporter.showError(MsgCliStopped);
        break;
    }
}

int Run::loadImage(const QString& file)
{
    if (!m_buffer)
        m_buffer = std::make_unique<DataBuffer>();
    FileCommands files(
        m_reporter, *m_buffer, [](std::uint32_t) {}, [] {});
    const int errors = m_ui.errorCount();
    m_ui.setFile(file);
    m_ui.setNameFileInErrors(true);
    files.open(m_jobs ? m_jobs->currentRecord().flashSize : 0);
    m_ui.setNameFileInErrors(false);
    return m_ui.errorCount() == errors ? ExitOk : ExitFile;
}

int Run::info()
{
    if (m_o.operands.size() != 1)
        return usageError(m_err, QStringLiteral("info needs FILE"));
    const QString& file = m_o.operands[0];
    FileKind kind = FileKind::RawBinary;
    {
        ImageSource source;
        m_ui.setFile(file);
        m_ui.setNameFileInErrors(true);
        const bool opened = source.open(file, BufferCapacity, m_ui);
        m_ui.setNameFileInErrors(false);
        if (!opened)
            return ExitFile;
        kind = source.kind();
    }
    if (const int status = loadImage(file))
        return status;
    const quint32 extent = static_cast<quint32>(m_buffer->usedLength);
    const std::uint8_t* data = m_buffer->data();
    quint32 used = extent;
    while (used > 0 && data[used - 1] == 0xFF)
        --used;
    m_out << "file: " << file << '\n'
          << "kind: " << kindName(kind) << '\n'
          << "extent: " << extent << '\n'
          << "used: " << used << '\n'
          << "CRC-32: " << crc32Text(crc32(data, extent)) << '\n'
          << "SHA-256: " << sha256Text(data, extent) << '\n';
    m_out.flush();
    return ExitOk;
}

int Run::chooseChip()
{
    ChipSelection& chips = m_jobs->chips();
    // The lists as a fresh start fills them; detection sends the identify command with a chip's
    // set-up, and without --chip the first one serves.
    int t = 0, m = 0, n = 0;
    const int first = chips.restoreSelection(t, m, n);
    if (m_o.chip.isEmpty())
        return first >= 0 ? ExitOk : ExitUsage;
    const QStringList parts = m_o.chip.split(QLatin1Char(','));
    if (parts.size() == 3) {
        if (chips.selectByNames(parts[0].trimmed(), parts[1].trimmed(), parts[2].trimmed()) >= 0)
            return ExitOk;
        m_reporter.showError(message(MsgCliNoSuchChip).arg(m_o.chip));
        return ExitUsage;
    }
    const auto [exact, partial] = chipsNamed(*m_table, m_o.chip);
    if (exact.size() == 1) {
        const NameTokens tokens((*m_table)[exact[0]].namesText());
        if (chips.selectByNames(tokens.trimmedAt(0), tokens.trimmedAt(1), tokens.trimmedAt(2)) >= 0)
            return ExitOk;
    }
    const QList<int>& candidates = exact.isEmpty() ? partial : exact;
    m_reporter.showError(message(candidates.isEmpty() ? MsgCliNoSuchChip : MsgCliChipCandidates).arg(m_o.chip));
    for (int slot : candidates)
        m_ui.showError(QStringLiteral("  ") + (*m_table)[slot].namesText());
    return ExitUsage;
}

int Run::chipCommand(const CommandHelp& command)
{
    if (m_o.operands.size() != command.files)
        return usageError(m_err, QStringLiteral("usage: kestrum-cli %1").arg(QLatin1String(command.synopsis)));
    if (command.chip && m_o.chip.isEmpty() && !m_o.detect) {
        m_reporter.showError(MsgCliChooseChip);
        return ExitUsage;
    }
    int speed = 0;
    if (!m_o.speed.isEmpty()) {
        const QStringList speeds = speedListItems();
        speed = -1;
        for (int i = 0; i < speeds.size(); ++i)
            if (speeds[i].compare(m_o.speed.trimmed(), Qt::CaseInsensitive) == 0)
                speed = i;
        if (speed < 0) {
            m_reporter.showError(message(MsgCliUnknownSpeed).arg(m_o.speed));
            return ExitUsage;
        }
    }
    // A malformed serial number or a read onto an existing file ends the run before the chip is touched.
    const auto serial = m_o.serial.isEmpty() ? std::nullopt : parseSerial(m_o.serial);
    if (!m_o.serial.isEmpty() && !serial)
        return usageError(m_err, QStringLiteral("bad --serial %1").arg(m_o.serial));
    if (!m_o.series.isEmpty() && !(m_series = SeriesRun::open(m_o, m_reporter)))
        return ExitStore;
    if (command.operation == &ChipOperations::read && !m_o.yes && QFileInfo::exists(m_o.operands[0])) {
        m_reporter.showError(message(MsgCliFileDeclined).arg(m_o.operands[0]));
        return ExitFile;
    }
    if (const int status = loadDatabase())
        return status;
    const bool terminal = !m_o.quiet && isatty(STDERR_FILENO) == 1;
    m_jobs = std::make_unique<CliJobs>(*m_table, m_control.stop, terminal ? stderr : nullptr);
    m_jobs->setSpeedIndex(speed);
    m_jobs->setAutoOptions(!m_o.noErase, !m_o.noProgram, !m_o.noVerify);
    if (const int status = chooseChip())
        return status;
    if (!m_buffer)
        m_buffer = std::make_unique<DataBuffer>();

    if (m_o.allProgrammers) {
        if (const int status = loadImage(m_o.operands.value(0)))
            return status;
        if (serial && quint64 {serial->address} + quint64(serial->width) > m_jobs->currentRecord().flashSize)
            return usageError(m_err,
                QStringLiteral("--serial %1 does not fit the chip (%2 bytes)")
                    .arg(m_o.serial)
                    .arg(m_jobs->currentRecord().flashSize));
        const std::vector<ProgrammerInfo> programmers = freeProgrammers();
        if (programmers.empty())
            return ExitNoProgrammer;
        return production(programmers, serial);
    }
    UsbLink usb;
    if (const int status = chooseProgrammer(usb))
        return status;
    ChipProgrammer programmer(usb, m_reporter, *m_buffer, *m_jobs);
    programmer.setPumpInterval(0); // Ctrl+C is looked at after every block
    m_jobs->setProgrammer(&programmer);
    ChipOperations ops(usb, programmer, m_reporter, *m_buffer, *m_jobs, *m_jobs);
    // Production runs stay fast: a backup only when asked for.
    ops.setBackupFolder(m_o.backup);
    ops.setReadTwice(m_o.twice);
    if (m_o.erase)
        m_ui.setPreferredButton(message(MsgButtonEraseAndWrite), QStringLiteral("--erase"));
    ops.onComparison = [this](const Comparison& comparison) {
        for (const DifferenceRange& range : comparison.ranges)
            m_out << rangeText(range) << '\n';
        m_out.flush();
    };
    const bool detectOnly = command.operation == &ChipOperations::detect;
    const bool read = command.operation == &ChipOperations::read;
    {
        if (m_o.detect || detectOnly) {
            const int unchosen = m_ui.unchosenCount();
            ops.setShownChipNamed(!m_o.chip.isEmpty());
            ops.detect();
            // Chips of different supplies were listed: only --chip, naming one of them, goes on.
            if (m_ui.unchosenCount() != unchosen)
                return ExitUsage;
            if (ops.lastOutcome() != CommandOutcome::Done)
                return exitStatusOf(ops.lastOutcome(), *m_buffer, m_control.stop.status());
            if (const int status = settleDetected(detectOnly))
                return status;
            if (detectOnly)
                return ExitOk;
        }
        const QString file = m_o.operands.value(0);
        if (command.loadsImage) {
            if (const int status = loadImage(file))
                return status;
        }
        // A serial number the chip cannot hold would pass every chip with a checksum of bytes that
        // never reached it.
        if (serial && quint64 {serial->address} + quint64(serial->width) > m_jobs->currentRecord().flashSize)
            return usageError(m_err,
                QStringLiteral("--serial %1 does not fit the chip (%2 bytes)")
                    .arg(m_o.serial)
                    .arg(m_jobs->currentRecord().flashSize));
        RegionPlan regions;
        if (m_o.regions.any() && command.operation != &ChipOperations::read) {
            if (const int status
                = planRegions(m_o.regions, m_buffer->data(), m_jobs->currentRecord().flashSize, m_reporter, regions))
                return status;
            if (const int status = loadRegionFiles(regions, *m_buffer, m_reporter))
                return status;
        }
        if (m_series && !m_series->fits(m_jobs->currentRecord().flashSize))
            return usageError(m_err, QStringLiteral("--series %1 does not fit the chip").arg(m_o.series));
        if (command.production && (m_o.repeat || m_series)) {
            ProgrammerInfo chosen;
            chosen.location = m_o.programmer.toLatin1();
            return production({chosen}, serial);
        }
        if (serial)
            putSerial(*serial, serial->start);
        if (m_o.regions.any() && command.operation != &ChipOperations::read)
            runRegionJob(QLatin1String(command.name), ops, regions);
        else
            (ops.*command.operation)();
    }
    const int status = exitStatusOf(ops.lastOutcome(), *m_buffer, m_control.stop.status());
    if (ops.lastOutcome() == CommandOutcome::Stopped)
        sayStopped();
    if (status != ExitOk || !read)
        return status;
    // The read image is saved as the window's Save does: chip-size bytes, by the file's kind.
    FileCommands files(
        m_reporter, *m_buffer, [](std::uint32_t) {}, [] {});
    const int errors = m_ui.errorCount();
    const int declined = m_ui.declinedCount();
    m_ui.setFile(m_o.operands[0]);
    m_ui.setNameFileInErrors(true);
    files.save(m_jobs->currentRecord().flashSize);
    m_ui.setNameFileInErrors(false);
    if (m_ui.declinedCount() != declined) {
        m_reporter.showError(message(MsgCliFileDeclined).arg(m_o.operands[0]));
        return ExitFile;
    }
    if (m_ui.errorCount() != errors)
        return ExitFile;
    // read --include NAME:FILE: those regions of the chip into their own files as well.
    RegionPlan regions;
    if (!m_o.regions.any())
        return ExitOk;
    if (const int planned
        = planRegions(m_o.regions, m_buffer->data(), m_jobs->currentRecord().flashSize, m_reporter, regions))
        return planned;
    return saveRegionFiles(regions, *m_buffer, m_reporter);
}

int Run::settleDetected(bool listOnly)
{
    const std::uint32_t id = m_jobs->currentRecord().chipId;
    QList<int> candidates;
    for (int i = 0; i < m_table->listedCount(); ++i)
        if ((*m_table)[i].chipClass == SpiFlash25 && (*m_table)[i].chipId == id)
            candidates << i;
    if (listOnly) {
        for (int slot : candidates)
            m_out << chipLine((*m_table)[slot]) << '\n';
        m_out.flush();
        return ExitOk;
    }
    if (!m_o.chip.isEmpty()) {
        // The lists now show the detected chip: select the one --chip names again.
        if (const int status = chooseChip())
            return status;
        if (m_jobs->currentRecord().chipId == id && m_jobs->currentRecord().chipClass == SpiFlash25)
            return ExitOk;
    } else if (candidates.size() <= 1) {
        return ExitOk;
    }
    m_reporter.showError(message(MsgCliChipCandidates).arg(QString::asprintf("%06X", id)));
    for (int slot : candidates)
        m_ui.showError(QStringLiteral("  ") + (*m_table)[slot].namesText());
    return ExitUsage;
}

void Run::putSerial(const Serial& serial, quint64 value)
{
    const QByteArray bytes = serial.bytes(value);
    std::memcpy(m_buffer->data() + serial.address, bytes.constData(), static_cast<size_t>(bytes.size()));
    m_buffer->usedLength = std::max(m_buffer->usedLength, static_cast<qint32>(serial.address + bytes.size()));
}

} // namespace

QStringList argumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << decodeFileName(QByteArray(argv[i]));
    return arguments;
}

int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err, CliControl& control)
{
    Options o;
    if (const auto status = parse(arguments, o, err))
        return *status;
    const CommandHelp* command = o.entry;
    if (o.version) {
        out << "kestrum-cli " << KESTRUM_VERSION << '\n';
        out.flush();
        return ExitOk;
    }
    if (o.help && !command) {
        out << helpText();
        out.flush();
        return o.command.isEmpty() ? ExitOk : ExitUsage;
    }
    if (!command) {
        // One line that says what is wrong and where the help is.
        if (o.command.isEmpty())
            err << "kestrum-cli: no command (kestrum-cli --help)\n";
        else
            err << "kestrum-cli: unknown command " << o.command << " (kestrum-cli --help)\n";
        err.flush();
        return ExitUsage;
    }
    if (o.help) {
        if (command->handler == CommandHandler::Convert)
            printConvertUsage(out);
        else if (command->handler == CommandHandler::Store)
            printStoreUsage(out);
        else
            out << "usage: kestrum-cli " << command->synopsis << "\n  " << command->what << '\n' << OptionsText;
        out.flush();
        return ExitOk;
    }
    if (command->handler == CommandHandler::Convert)
        return runConvert(o.convertArguments, o.language, err);
    if (command->handler == CommandHandler::Regions)
        return listRegions(o.operands.value(0), o.regions, o.language, out, err);
    if (command->handler == CommandHandler::Store)
        return runStoreCommand(o.convertArguments, o.language, out, err);
    Run run(o, control, out, err);
    int status = ExitOk;
    switch (command->handler) {
    case CommandHandler::ChipList:
        status = run.list();
        break;
    case CommandHandler::FileInfo:
        status = run.info();
        break;
    case CommandHandler::ProgrammerList:
        status = run.programmers();
        break;
    case CommandHandler::Convert: // above
    case CommandHandler::Regions:
    case CommandHandler::Store:
    case CommandHandler::ChipOperation:
        status = run.chipCommand(*command);
        break;
    }
    // A Ctrl+C pressed during this run has been answered; the next run starts afresh.
    control.stop.clear();
    return status;
}

int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    CliControl control;
    return runCli(arguments, out, err, control);
}

int runCli(const QStringList& arguments, QTextStream& err, CliControl& control)
{
    QTextStream out(stdout);
    return runCli(arguments, out, err, control);
}

} // namespace kestrum::cli

#include "app/cli/Gang.h"

#include "app/cli/CliCommands.h"
#include "app/cli/CliJobs.h"
#include "app/cli/Convert.h"
#include "base/Messages.h"
#include "base/RegularFile.h"
#include "base/Reporter.h"
#include "base/UserInterface.h"
#include "buffer/Checksum.h"
#include "link/UsbLink.h"
#include "ops/ChipOperations.h"
#include "ops/ChipProgrammer.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace kestrum::cli {

quint64 SerialCounter::take()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_returned.empty()) {
        const quint64 value = *m_returned.begin();
        m_returned.erase(m_returned.begin());
        return value;
    }
    const quint64 value = m_next;
    m_next += m_step;
    return value;
}

void SerialCounter::giveBack(quint64 value)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_returned.insert(value);
}

JobLog::~JobLog()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int JobLog::open(const QString& fileName)
{
    const QByteArray name = encodeFileName(fileName);
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return -1;
    m_fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (m_fd < 0)
        return errno;
    const int statError = ::fstat(m_fd, &info) != 0 ? errno : 0;
    if (statError != 0 || !S_ISREG(info.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        return statError != 0 ? statError : -1;
    }
    return 0;
}

int JobLog::writeAll(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    return ::fdatasync(m_fd) == 0 ? 0 : errno;
}

int JobLog::writeHeader(const QByteArray& header)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    struct stat info
    {
    };
    if (::fstat(m_fd, &info) != 0)
        return errno;
    return info.st_size == 0 ? writeAll(header) : 0;
}

int JobLog::writeLine(const QByteArray& line)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return writeAll(line);
}

namespace {

/// The lines of every socket on the two streams, whole lines at a time.
class SharedOutput
{
public:
    SharedOutput(QTextStream& out, QTextStream& err)
        : m_out(out)
        , m_err(err)
    {
    }
    void line(const QString& text, bool error = false)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        QTextStream& stream = error ? m_err : m_out;
        stream << text << '\n';
        stream.flush();
    }

private:
    std::mutex m_mutex;
    QTextStream& m_out;
    QTextStream& m_err;
};

/// One socket's user interface: every box and log line goes to the observer; questions are
/// answered by --yes.
class SocketUserInterface : public UserInterface
{
public:
    SocketUserInterface(GangObserver& observer, std::size_t socket, bool yes, bool quiet)
        : m_observer(observer)
        , m_socket(socket)
        , m_yes(yes)
        , m_quiet(quiet)
    {
    }
    void showError(const QString& text) override { m_observer.message(m_socket, text, true); }
    bool askYesNo(const QString& text) override
    {
        m_observer.message(m_socket, text + (m_yes ? QStringLiteral(" yes") : QStringLiteral(" no")), true);
        return m_yes;
    }
    void showInformation(const QString& text) override
    {
        if (!m_quiet)
            m_observer.message(m_socket, text, false);
    }
    void beep() override { }
    QString chooseOpenFile(const QString&) override { return {}; }
    QString chooseSaveFile(const QString&, const QString&) override { return {}; }
    void insertLogLine(const QString& line) override
    {
        if (!m_quiet)
            m_observer.message(m_socket, line, false);
    }

private:
    GangObserver& m_observer;
    std::size_t m_socket;
    bool m_yes;
    bool m_quiet;
};

/// The chip jobs of one socket: as on the command line, with the progress told to the observer.
class SocketJobs : public CliJobs
{
public:
    SocketJobs(const ChipTable& table, GangObserver& observer, std::size_t socket)
        : CliJobs(table, nullptr)
        , m_observer(observer)
        , m_socket(socket)
    {
    }
    void setStatusText(const QString& text) override
    {
        CliJobs::setStatusText(text);
        m_status = text;
    }
    void showProgress(quint32 maximum, ProgressUnit unit) override
    {
        CliJobs::showProgress(maximum, unit);
        m_maximum = maximum;
        m_unit = unit;
        m_estimate.start(maximum);
        m_lastTold = -1;
    }
    void setProgressPosition(quint32 position) override
    {
        CliJobs::setProgressPosition(position); // Ctrl+C is looked at here
        m_estimate.update(position);
        const qint64 now = m_estimate.now();
        if (m_lastTold >= 0 && now - m_lastTold < 100 && position < m_maximum)
            return;
        m_lastTold = now;
        const auto estimate = m_unit == ProgressUnit::Bytes ? m_estimate.estimate() : std::nullopt;
        m_observer.progress(m_socket, m_status, position, m_maximum, estimate ? estimate->bytesPerSecond : -1.0);
    }

private:
    GangObserver& m_observer;
    std::size_t m_socket;
    QString m_status;
    quint32 m_maximum = 0;
    ProgressUnit m_unit = ProgressUnit::Bytes;
    ProgressEstimate m_estimate;
    qint64 m_lastTold = -1;
};

/// One programmer's part of the run, in its own thread.
class Socket
{
public:
    Socket(const GangJob& job, GangObserver& observer, std::size_t socket, SerialCounter* serials, JobLog* log,
        SocketTally& tally)
        : m_job(job)
        , m_observer(observer)
        , m_socket(socket)
        , m_serials(serials)
        , m_log(log)
        , m_tally(tally)
        , m_ui(observer, socket, job.yes, job.quiet)
        , m_reporter(m_ui)
        , m_jobs(*job.table, observer, socket)
        , m_buffer(std::make_unique<DataBuffer>())
        , m_programmer(m_usb, m_reporter, *m_buffer, m_jobs)
        , m_ops(m_usb, m_programmer, m_reporter, *m_buffer, m_jobs, m_jobs)
    {
        m_usb.setLocation(tally.location);
        m_reporter.setLanguage(job.language);
        m_jobs.setSpeedIndex(job.speedIndex);
        m_jobs.setAutoOptions(job.erase, job.program, job.verify);
        int t = 0, m = 0, n = 0;
        m_jobs.chips().restoreSelection(t, m, n);
        m_jobs.chips().selectByNames(job.chipType, job.chipMaker, job.chipName);
        m_programmer.setPumpInterval(0); // Ctrl+C is looked at after every block
        m_jobs.stopRoutine = [this] { m_programmer.requestStop(); };
        std::memcpy(m_buffer->data(), job.image->data(), job.imageLength);
        m_buffer->usedLength = job.image->usedLength;
    }

    void run()
    {
        try {
            produce();
        } catch (const JobStopped&) {
            // The job frame has sent the end command on the way out.
            if (m_tally.status == ExitOk)
                m_tally.status = stoppedStatus();
        }
    }

private:
    void produce()
    {
        QString id = socketChip();
        for (int chip = 1;; ++chip) {
            QString serialText = QStringLiteral("-");
            std::optional<quint64> serial;
            if (m_job.serial) {
                serial = m_serials->take();
                if (!m_job.serial->fits(*serial)) {
                    m_reporter.showError(m_reporter.message(MsgSerialTooWide).arg(*serial).arg(m_job.serial->width));
                    ++m_tally.failed;
                    m_tally.status = ExitUsage;
                    return;
                }
                putSerial(*serial);
                serialText = QString::number(*serial);
            }
            m_observer.chipStarted(m_socket, id.isEmpty() ? QStringLiteral("-") : id);
            QElapsedTimer clock;
            clock.start();
            CommandOutcome outcome = CommandOutcome::Stopped;
            try {
                m_ops.autoRun();
                outcome = m_ops.lastOutcome();
            } catch (const JobStopped&) {
                outcome = CommandOutcome::Stopped;
            }
            const int status = exitStatusOf(outcome, *m_buffer);
            const double seconds = double(clock.elapsed()) / 1000.0;
            if (status == ExitOk) {
                ++m_tally.passed;
            } else {
                ++m_tally.failed;
                m_tally.status = status;
                if (serial)
                    m_serials->giveBack(*serial);
            }
            const QString shownId = id.isEmpty() ? QStringLiteral("-") : id;
            m_observer.chipEnded(m_socket, {chip, shownId, status == ExitOk, serialText, seconds});
            if (m_log && !writeLogLine(shownId, status, serialText, seconds, outcome))
                return;
            if (!m_job.repeat || stopRequested() || m_usb.deviceVanished() || status == ExitNoProgrammer)
                return;
            m_ui.showInformation(m_reporter.message(MsgCliNextChip));
            if (!waitForSocket(false, nullptr) || !waitForSocket(true, &id)) {
                // A programmer lost while waiting ends its part of the run as a failure.
                if (!stopRequested()) {
                    m_reporter.showError(MsgGangProgrammerLost);
                    m_tally.status = ExitNoProgrammer;
                }
                return;
            }
        }
    }

    bool writeLogLine(const QString& id, int status, const QString& serialText, double seconds, CommandOutcome outcome)
    {
        const auto written = static_cast<std::size_t>(std::max<qint32>(m_buffer->usedLength, 0));
        const QString line = QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8\n")
                                 .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODate), id,
                                     status == ExitOk ? QStringLiteral("passed") : QStringLiteral("failed"), serialText,
                                     sha256Text(m_buffer->data(), written))
                                 .arg(seconds, 0, 'f', 1)
                                 .arg(QLatin1String(reasonOf(outcome)), QString::fromLatin1(m_tally.location));
        if (const int error = m_log->writeLine(line.toUtf8())) {
            m_reporter.showError(m_reporter.message(MsgJobLogUnwritable).arg(m_job.jobLogName, systemErrorText(error)));
            m_tally.status = ExitFile;
            return false;
        }
        return true;
    }

    void putSerial(quint64 value)
    {
        const QByteArray bytes = m_job.serial->bytes(value);
        std::memcpy(m_buffer->data() + m_job.serial->address, bytes.constData(), static_cast<size_t>(bytes.size()));
        m_buffer->usedLength
            = std::max(m_buffer->usedLength, static_cast<qint32>(m_job.serial->address + bytes.size()));
    }

    /// The ID of the chip in the socket as hex, or empty when no chip answers or the programmer is
    /// gone.
    QString socketChip()
    {
        quint8 reply[4] = {0, 0, 0, 0};
        if (m_programmer.identifyChip(m_jobs.currentRecord(), m_jobs.speedIndex(), reply) != Identification::Done)
            return {};
        const bool zeros = reply[1] == 0 && reply[2] == 0 && reply[3] == 0;
        const bool ones = reply[1] == 0xFF && reply[2] == 0xFF && reply[3] == 0xFF;
        if (reply[0] == ReplyNothing || (reply[0] == ReplySpiFlash && (zeros || ones)))
            return {};
        return QString::asprintf("%02X%02X%02X", reply[1], reply[2], reply[3]);
    }

    /// Waits until a chip sits in the socket (present) or none does; false when Ctrl+C came first
    /// or the programmer went away.
    bool waitForSocket(bool present, QString* id)
    {
        constexpr int PollPauseMs = 200;
        for (;;) {
            pollSocketHook();
            if (stopRequested())
                return false;
            const QString chip = socketChip();
            if (m_usb.deviceVanished() || m_usb.openProblem().failure != UsbLink::OpenFailure::None)
                return false;
            if (chip.isEmpty() != present) {
                if (id)
                    *id = chip;
                return true;
            }
            m_usb.sleepMs(PollPauseMs);
        }
    }

    const GangJob& m_job;
    GangObserver& m_observer;
    std::size_t m_socket;
    SerialCounter* m_serials;
    JobLog* m_log;
    SocketTally& m_tally;
    SocketUserInterface m_ui;
    Reporter m_reporter;
    UsbLink m_usb;
    SocketJobs m_jobs;
    std::unique_ptr<DataBuffer> m_buffer;
    ChipProgrammer m_programmer;
    ChipOperations m_ops;
};

/// The command line's view of a gang run: one line per chip on standard output, the sockets'
/// messages on standard error after their location, whole lines at a time.
class StreamObserver : public GangObserver
{
public:
    StreamObserver(const std::vector<ProgrammerInfo>& programmers, int language, QTextStream& out, QTextStream& err)
        : m_programmers(programmers)
        , m_language(language)
        , m_output(out, err)
    {
    }
    void message(std::size_t socket, const QString& text, bool error) override
    {
        // Every line of a message carries its location.
        const QString prefix = QStringLiteral("[%1] ").arg(location(socket));
        m_output.line(prefix + text.split(QLatin1Char('\n')).join(QLatin1Char('\n') + prefix), true);
        (void)error;
    }
    void progress(std::size_t, const QString&, quint32, quint32, double) override { }
    void chipStarted(std::size_t, const QString&) override { }
    void chipEnded(std::size_t socket, const GangChip& chip) override
    {
        m_output.line(messageText(chip.passed ? MsgGangChipPassed : MsgGangChipFailed, m_language)
                          .arg(location(socket))
                          .arg(chip.number)
                          .arg(chip.id, chip.serial)
                          .arg(chip.seconds, 0, 'f', 1));
    }

private:
    QString location(std::size_t socket) const { return QString::fromLatin1(m_programmers[socket].location); }
    const std::vector<ProgrammerInfo>& m_programmers;
    int m_language;
    SharedOutput m_output;
};

} // namespace

std::vector<SocketTally> runGang(
    const GangJob& job, const std::vector<ProgrammerInfo>& programmers, JobLog* log, GangObserver& observer)
{
    std::optional<SerialCounter> serials;
    if (job.serial)
        serials.emplace(job.serial->start, job.serial->step);
    std::vector<SocketTally> tallies(programmers.size());
    std::vector<std::thread> threads;
    threads.reserve(programmers.size());
    for (std::size_t i = 0; i < programmers.size(); ++i) {
        tallies[i].location = programmers[i].location;
        threads.emplace_back([&, i] {
            Socket socket(job, observer, i, serials ? &*serials : nullptr, log, tallies[i]);
            socket.run();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    return tallies;
}

std::vector<SocketTally> runGang(
    const GangJob& job, const std::vector<ProgrammerInfo>& programmers, JobLog* log, QTextStream& out, QTextStream& err)
{
    StreamObserver observer(programmers, job.language, out, err);
    const std::vector<SocketTally> tallies = runGang(job, programmers, log, observer);
    int passed = 0;
    int failed = 0;
    for (const SocketTally& tally : tallies) {
        passed += tally.passed;
        failed += tally.failed;
    }
    out << messageText(MsgGangSummary, job.language).arg(programmers.size()).arg(passed).arg(failed) << '\n';
    out.flush();
    return tallies;
}

int gangStatus(const std::vector<SocketTally>& tallies)
{
    if (stopRequested())
        return stoppedStatus();
    for (const SocketTally& tally : tallies)
        if (tally.status != ExitOk)
            return tally.status;
    return ExitOk;
}

} // namespace kestrum::cli

#include "jobs/ProductionRun.h"

#include "base/Messages.h"
#include "base/RegularFile.h"
#include "base/Reporter.h"
#include "base/UserInterface.h"
#include "buffer/Checksum.h"
#include "chipdb/NameTokens.h"
#include "jobs/HeadlessHost.h"
#include "jobs/JobLog.h"
#include "jobs/RunStatus.h"
#include "link/UsbLink.h"
#include "ops/ChipOperations.h"
#include "ops/ChipProgrammer.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>

namespace kestrum {

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

ProductionJob productionJob(const ChipTable& table, const ChipRecord& record, int speedIndex, bool erase, bool program,
    bool verify, const DataBuffer& image)
{
    const NameTokens names(record.namesText());
    ProductionJob job;
    job.table = &table;
    job.chipType = names.trimmedAt(0);
    job.chipMaker = names.trimmedAt(1);
    job.chipName = names.trimmedAt(2);
    job.speedIndex = speedIndex;
    job.erase = erase;
    job.program = program;
    job.verify = verify;
    job.image = &image;
    job.imageLength = std::min<quint32>(BufferCapacity,
        std::max<quint32>(record.flashSize, static_cast<quint32>(std::max<qint32>(image.usedLength, 0))));
    return job;
}

QByteArray jobLogHeader(bool logProgrammer)
{
    return logProgrammer ? "time,chip ID,result,serial,SHA-256,seconds,reason,programmer\n"
                         : "time,chip ID,result,serial,SHA-256,seconds,reason\n";
}

namespace {

/// One socket's user interface: every box, log line and question goes to the observer.
class SocketUserInterface : public UserInterface
{
public:
    SocketUserInterface(ProductionObserver& observer, std::size_t socket)
        : m_observer(observer)
        , m_socket(socket)
    {
    }
    void showError(const QString& text) override { m_observer.message(m_socket, text, Kind::Error); }
    bool askYesNo(const QString& text) override { return m_observer.askYesNo(m_socket, text); }
    int askButtons(const QString& text, const QStringList& captions) override
    {
        return m_observer.askButtons(m_socket, text, captions);
    }
    void showInformation(const QString& text) override { m_observer.message(m_socket, text, Kind::Information); }
    void beep() override { }
    QString chooseOpenFile(const QString&) override { return {}; }
    QString chooseSaveFile(const QString&, const QString&) override { return {}; }
    void insertLogLine(const QString& line) override { m_observer.message(m_socket, line, Kind::Log); }

private:
    using Kind = ProductionObserver::Kind;
    ProductionObserver& m_observer;
    std::size_t m_socket;
};

/// The chip jobs of one socket, with the progress told to the observer.
class SocketHost : public HeadlessHost
{
public:
    SocketHost(const ChipTable& table, const StopToken& stop, ProductionObserver& observer, std::size_t socket)
        : HeadlessHost(table, stop)
        , m_observer(observer)
        , m_socket(socket)
    {
    }

protected:
    void progressMoved(const QString& status, quint32 position, quint32 maximum,
        const std::optional<ProgressEstimate::Estimate>& estimate) override
    {
        m_observer.progress(m_socket, status, position, maximum, estimate);
    }
    void progressHidden() override { m_observer.progressHidden(m_socket); }

private:
    ProductionObserver& m_observer;
    std::size_t m_socket;
};

/// One programmer's part of the run.
class Socket
{
public:
    Socket(const ProductionJob& job, ProductionObserver& observer, const StopToken& stop, std::size_t socket,
        SerialCounter* serials, JobLog* log, SocketTally& tally)
        : m_job(job)
        , m_observer(observer)
        , m_stop(stop)
        , m_socket(socket)
        , m_serials(serials)
        , m_log(log)
        , m_tally(tally)
        , m_ui(observer, socket)
        , m_reporter(m_ui)
        , m_host(*job.table, stop, observer, socket)
        , m_buffer(std::make_unique<DataBuffer>())
        , m_programmer(m_usb, m_reporter, *m_buffer, m_host)
        , m_ops(m_usb, m_programmer, m_reporter, *m_buffer, m_host, m_host)
    {
        m_usb.setLocation(tally.location);
        m_reporter.setLanguage(job.language);
        m_host.setSpeedIndex(job.speedIndex);
        m_host.setAutoOptions(job.erase, job.program, job.verify);
        m_host.setProgrammer(&m_programmer);
        m_host.setStopAfterChip(job.stopAfterChip);
        int t = 0, m = 0, n = 0;
        m_host.chips().restoreSelection(t, m, n);
        m_host.chips().selectByNames(job.chipType, job.chipMaker, job.chipName);
        m_programmer.setPumpInterval(0); // the stop request is looked at after every block
        // The same safeguards as a single Auto; each socket's backups name its programmer.
        m_ops.setBackupFolder(job.backupFolder);
        m_ops.setBackupLabel(QString::fromLatin1(tally.location));
        m_ops.setReadTwice(job.readTwice);
        std::memcpy(m_buffer->data(), job.image->data(), job.imageLength);
        m_buffer->usedLength = job.image->usedLength;
    }

    void run()
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
            if (m_job.numbers) {
                if (const int fault = m_job.numbers->take(*m_buffer, location(), m_reporter, serialText)) {
                    m_tally.status = fault;
                    return;
                }
            }
            const QString shownId = id.isEmpty() ? QStringLiteral("-") : id;
            m_observer.chipStarted(m_socket, shownId);
            QElapsedTimer clock;
            clock.start();
            m_ops.autoRun();
            const CommandOutcome outcome = m_ops.lastOutcome();
            const int status = exitStatusOf(outcome, *m_buffer, m_stop.status());
            const double seconds = double(clock.elapsed()) / 1000.0;
            if (status == ExitOk) {
                ++m_tally.passed;
            } else {
                ++m_tally.failed;
                m_tally.status = status;
                if (serial)
                    m_serials->giveBack(*serial);
            }
            m_observer.chipEnded(m_socket, {chip, shownId, status == ExitOk, serialText, seconds});
            if (m_job.numbers) {
                const auto written = static_cast<std::size_t>(std::max<qint32>(m_buffer->usedLength, 0));
                if (const int fault = m_job.numbers->finish(location(), shownId,
                        sha256Text(m_buffer->data(), written), status == ExitOk, seconds,
                        QLatin1String(reasonOf(outcome)), m_reporter)) {
                    m_tally.status = fault;
                    return;
                }
            }
            if (m_log && !writeLogLine(shownId, status, serialText, seconds, outcome))
                return;
            if (!m_job.repeat || m_stop.requested() || m_usb.deviceVanished() || status == ExitNoProgrammer)
                return;
            m_ui.showInformation(m_reporter.message(MsgCliNextChip));
            if (!waitForSocket(false, nullptr) || !waitForSocket(true, &id)) {
                // A programmer lost while waiting ends its part of the run as a failure.
                if (!m_stop.requested()) {
                    m_reporter.showError(MsgGangProgrammerLost);
                    m_tally.status = ExitNoProgrammer;
                }
                return;
            }
        }
    }

private:
    QString location() const { return QString::fromLatin1(m_tally.location); }

    /// Every line reaches the disk, or the socket ends after the chip whose line it was.
    bool writeLogLine(const QString& id, int status, const QString& serialText, double seconds, CommandOutcome outcome)
    {
        const auto written = static_cast<std::size_t>(std::max<qint32>(m_buffer->usedLength, 0));
        QString line = QStringLiteral("%1,%2,%3,%4,%5,%6,%7")
                           .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODate), id,
                               status == ExitOk ? QStringLiteral("passed") : QStringLiteral("failed"), serialText,
                               sha256Text(m_buffer->data(), written))
                           .arg(seconds, 0, 'f', 1)
                           .arg(QLatin1String(reasonOf(outcome)));
        if (m_job.logProgrammer)
            line += QLatin1Char(',') + QString::fromLatin1(m_tally.location);
        if (const int error = m_log->writeLine((line + QLatin1Char('\n')).toUtf8())) {
            m_reporter.showError(
                m_reporter.message(MsgJobLogUnwritable).arg(m_log->fileName(), systemErrorText(error)));
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
        if (m_programmer.identifyChip(m_host.currentRecord(), m_host.speedIndex(), reply) != Identification::Done)
            return {};
        const bool zeros = reply[1] == 0 && reply[2] == 0 && reply[3] == 0;
        const bool ones = reply[1] == 0xFF && reply[2] == 0xFF && reply[3] == 0xFF;
        if (reply[0] == ReplyNothing || (reply[0] == ReplySpiFlash && (zeros || ones)))
            return {};
        return QString::asprintf("%02X%02X%02X", reply[1], reply[2], reply[3]);
    }

    /// Waits until a chip sits in the socket (present) or none does; false when a stop came first
    /// or the programmer went away.
    bool waitForSocket(bool present, QString* id)
    {
        constexpr int PollPauseMs = 200;
        for (;;) {
            m_observer.waitingForChip(m_socket);
            if (m_stop.requested())
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

    const ProductionJob& m_job;
    ProductionObserver& m_observer;
    const StopToken& m_stop;
    std::size_t m_socket;
    SerialCounter* m_serials;
    JobLog* m_log;
    SocketTally& m_tally;
    SocketUserInterface m_ui;
    Reporter m_reporter;
    UsbLink m_usb;
    SocketHost m_host;
    std::unique_ptr<DataBuffer> m_buffer;
    ChipProgrammer m_programmer;
    ChipOperations m_ops;
};

} // namespace

std::vector<SocketTally> runProduction(const ProductionJob& job, const std::vector<ProgrammerInfo>& programmers,
    JobLog* log, ProductionObserver& observer, const StopToken& stop)
{
    std::optional<SerialCounter> serials;
    if (job.serial)
        serials.emplace(job.serial->start, job.serial->step);
    std::vector<SocketTally> tallies(programmers.size());
    const auto runSocket = [&](std::size_t i) {
        Socket socket(job, observer, stop, i, serials ? &*serials : nullptr, log, tallies[i]);
        socket.run();
    };
    for (std::size_t i = 0; i < programmers.size(); ++i)
        tallies[i].location = programmers[i].location;
    if (programmers.size() == 1) {
        runSocket(0);
        return tallies;
    }
    std::vector<std::thread> threads;
    threads.reserve(programmers.size());
    for (std::size_t i = 0; i < programmers.size(); ++i)
        threads.emplace_back(runSocket, i);
    for (std::thread& thread : threads)
        thread.join();
    return tallies;
}

int productionStatus(const std::vector<SocketTally>& tallies, const StopToken& stop)
{
    if (stop.requested())
        return stop.status();
    for (const SocketTally& tally : tallies)
        if (tally.status != ExitOk)
            return tally.status;
    return ExitOk;
}

} // namespace kestrum

#pragma once

// Gang mode: the same Auto on every attached programmer at once, one thread per programmer.

#include "app/cli/Serial.h"
#include "buffer/DataBuffer.h"
#include "chipdb/ChipRecord.h"
#include "link/ProgrammerList.h"

#include <QString>
#include <QTextStream>

#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace kestrum::cli {

/// The serial numbers of a gang run, one counter for every socket. A chip takes the next number
/// when it starts; the number of a chip that fails goes back, and the next chip to start on any
/// socket takes the smallest number given back first. So no two chips that passed get one number,
/// and no number is skipped for a chip that failed.
class SerialCounter
{
public:
    SerialCounter(quint64 start, quint64 step)
        : m_next(start)
        , m_step(step)
    {
    }
    quint64 take();
    void giveBack(quint64 value);

private:
    std::mutex m_mutex;
    quint64 m_next;
    quint64 m_step;
    std::set<quint64> m_returned;
};

/// The job log of a production run: a regular file opened without waiting (a FIFO or a device is
/// refused), a header line when it is empty, and lines that each reach the disk before the next
/// chip; lines from several threads never mix.
class JobLog
{
public:
    JobLog() = default;
    ~JobLog();
    JobLog(const JobLog&) = delete;
    JobLog& operator=(const JobLog&) = delete;

    /// Opens the file for appending; 0, or the errno why not (-1: not a regular file).
    int open(const QString& fileName);
    [[nodiscard]] bool isOpen() const { return m_fd >= 0; }
    /// Writes the header when the file is empty; 0 or the errno.
    int writeHeader(const QByteArray& header);
    /// Appends one line and syncs it; 0 or the errno.
    int writeLine(const QByteArray& line);

private:
    int writeAll(const QByteArray& bytes);
    std::mutex m_mutex;
    int m_fd = -1;
};

/// What every socket of a gang run does.
struct GangJob
{
    const ChipTable* table = nullptr;
    QString chipType, chipMaker, chipName; ///< the chip, by its three names
    int speedIndex = 0;
    bool erase = true, program = true, verify = true;
    const DataBuffer* image = nullptr; ///< copied into each socket's own buffer
    quint32 imageLength = 0; ///< bytes of image to copy: the chip's size or the used length, the larger
    std::optional<Serial> serial;
    bool repeat = false; ///< each socket takes the next chip once it was put into it, until Ctrl+C
    bool yes = false;
    bool quiet = false;
    int language = 0;
    QString jobLogName; ///< shown in a message about the job log
};

/// One socket's count at the end of a run.
struct SocketTally
{
    QByteArray location;
    int passed = 0;
    int failed = 0;
    int status = 0; ///< the exit status of its last chip that failed; 0 when none did
};

/// One chip of a gang run as it ended.
struct GangChip
{
    int number = 0; ///< counted per socket, from 1
    QString id; ///< the chip ID as hex; "-" when none answered
    bool passed = false;
    QString serial; ///< "-" without serial numbers
    double seconds = 0;
};

/// What a gang run tells as it goes. Called from the sockets' threads, each socket from its own.
class GangObserver
{
public:
    virtual ~GangObserver() = default;
    /// A box or a log line of that socket's chip routines.
    virtual void message(std::size_t socket, const QString& text, bool error) = 0;
    /// The socket's chip routine moved: status text, position of maximum, rate in bytes per
    /// second (negative while unknown). At most every tenth of a second and at the end.
    virtual void progress(std::size_t socket, const QString& status, quint32 position, quint32 maximum, double rate) = 0;
    /// A chip sits in the socket and its Auto starts: its ID as hex, "-" when none answered.
    virtual void chipStarted(std::size_t socket, const QString& id) = 0;
    virtual void chipEnded(std::size_t socket, const GangChip& chip) = 0;
};

/// runGang with each socket telling observer.
std::vector<SocketTally> runGang(
    const GangJob& job, const std::vector<ProgrammerInfo>& programmers, JobLog* log, GangObserver& observer);

/// Runs the job on every programmer at once, each in a thread of its own with its own USB handle,
/// chip routines and copy of the image; prints one line per chip as it finishes (location, chip
/// ID, result, serial, seconds) and, at the end, a summary. Ctrl+C ends every socket at its next
/// block with the end command sent; a programmer that goes away ends its own socket only.
/// Returns each socket's tally, in the programmers' order.
std::vector<SocketTally> runGang(const GangJob& job, const std::vector<ProgrammerInfo>& programmers,
    JobLog* log, QTextStream& out, QTextStream& err);

/// The exit status of a gang run: 0 when every chip on every socket passed, else the status of
/// the first socket that failed (128 + the signal once stopped).
int gangStatus(const std::vector<SocketTally>& tallies);

} // namespace kestrum::cli

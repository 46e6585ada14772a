#pragma once

// Production runs: Auto on one programmer or on every attached programmer at once (one thread
// per programmer, a socket each), chip after chip with --repeat, with serial numbers, a job log
// and every safeguard of a single Auto. Both faces run their production through this one loop.

#include "buffer/DataBuffer.h"
#include "chipdb/ChipRecord.h"
#include "jobs/SerialNumber.h"
#include "jobs/StopToken.h"
#include "link/ProgrammerList.h"
#include "ops/ProgressEstimate.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace kestrum {

class Reporter;

class JobLog;

/// The serial numbers of a run, one counter for every socket. A chip takes the next number when
/// it starts; the number of a chip that fails goes back, and the next chip to start on any socket
/// takes the smallest number given back first. So no two chips that passed get one number, and no
/// number is skipped for a chip that failed.
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

/// What every socket of a production run does.
/// Where a run's chips take their serial numbers from and leave their records, other than the run's
/// own counter (a series of the record store). Each call answers 0, or the exit status that ends the
/// socket: before its chip when the number could not be taken, after it when its record could not be
/// kept. The run calls it from one socket only.
class ChipNumbers
{
public:
    virtual ~ChipNumbers() = default;
    /// Writes the next chip's number into its image; `shown` gets the number as the job log shows it.
    virtual int take(DataBuffer& image, const QString& location, Reporter& reporter, QString& shown) = 0;
    /// Keeps the record of the chip whose number the last take gave.
    virtual int finish(const QString& location, const QString& chipId, const QString& imageSha256, bool passed,
        double seconds, const QString& reason, Reporter& reporter)
        = 0;
};

struct ProductionJob
{
    const ChipTable* table = nullptr;
    QString chipType, chipMaker, chipName; ///< the chip, by its three names
    int speedIndex = 0;
    bool erase = true, program = true, verify = true;
    const DataBuffer* image = nullptr; ///< copied into each socket's own buffer
    quint32 imageLength = 0; ///< bytes of image to copy: the chip's size or the used length, the larger
    std::optional<Serial> serial;
    ChipNumbers* numbers = nullptr; ///< a series of the record store; one socket only
    bool repeat = false; ///< each socket takes the next chip once it was put into it, until stopped
    bool stopAfterChip = false; ///< a stop ends the run after the running chip, not in its middle
    QString backupFolder; ///< each socket backs its chip up here before changing it; empty: no backups
    bool readTwice = false;
    bool logProgrammer = false; ///< the job log's lines end with the programmer's location
    int language = 0;
};

/// The job of an Auto with that chip, speed index, steps and image, as both faces build it.
ProductionJob productionJob(const ChipTable& table, const ChipRecord& record, int speedIndex, bool erase, bool program,
    bool verify, const DataBuffer& image);

/// The header line of a job log (logProgrammer: with the programmer's column).
QByteArray jobLogHeader(bool logProgrammer);

/// One socket's count at the end of a run.
struct SocketTally
{
    QByteArray location;
    int passed = 0;
    int failed = 0;
    int status = 0; ///< the exit status of its last chip that failed; 0 when none did
};

/// One chip of a run as it ended.
struct ProducedChip
{
    int number = 0; ///< counted per socket, from 1
    QString id; ///< the chip ID as hex; "-" when none answered
    bool passed = false;
    QString serial; ///< "-" without serial numbers
    double seconds = 0;
};

/// What a production run tells and asks as it goes. Called from the sockets' threads, each socket
/// from its own.
class ProductionObserver
{
public:
    enum class Kind { Error, Information, Log };
    virtual ~ProductionObserver() = default;
    /// A box or a log line of that socket's chip routines.
    virtual void message(std::size_t socket, const QString& text, Kind kind) = 0;
    /// A question of that socket's chip routines; true for Yes.
    virtual bool askYesNo(std::size_t socket, const QString& text) = 0;
    /// A question with a button per caption, the last one the one that cancels; the index chosen.
    virtual int askButtons(std::size_t socket, const QString& text, const QStringList& captions) = 0;
    /// The socket's chip routine moved: status text, position of maximum, and the rate and time
    /// left of a stream once known. At most every tenth of a second and at the end.
    virtual void progress(std::size_t socket, const QString& status, quint32 position, quint32 maximum,
        const std::optional<ProgressEstimate::Estimate>& estimate)
        = 0;
    /// The progress of the socket was hidden.
    virtual void progressHidden(std::size_t socket) { (void)socket; }
    /// A chip sits in the socket and its Auto starts: its ID as hex, "-" when none answered.
    virtual void chipStarted(std::size_t socket, const QString& id) = 0;
    virtual void chipEnded(std::size_t socket, const ProducedChip& chip) = 0;
    /// Called before every look at the socket while it waits for the next chip.
    virtual void waitingForChip(std::size_t socket) { (void)socket; }
};

/// Runs the job on every programmer at once, each in a thread of its own with its own USB handle,
/// chip routines and copy of the image (one programmer runs in the calling thread). A stop request
/// ends every socket at its next block (after its chip with stopAfterChip) with the end command
/// sent; a programmer that goes away ends its own socket only. Each chip's line goes to the job
/// log when one is given; a line that cannot be written ends that socket after its chip with
/// ExitFile. Returns each socket's tally, in the programmers' order.
std::vector<SocketTally> runProduction(const ProductionJob& job, const std::vector<ProgrammerInfo>& programmers,
    JobLog* log, ProductionObserver& observer, const StopToken& stop);

/// The status of a run: the stop's once stopped, else 0 when every chip on every socket passed,
/// else the status of the first socket that failed.
int productionStatus(const std::vector<SocketTally>& tallies, const StopToken& stop);

} // namespace kestrum

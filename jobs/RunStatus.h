#pragma once

// How a chip job ended, as a status both faces share: the command line's exit statuses and the
// reason column of the job log.

#include "buffer/DataBuffer.h"
#include "ops/ChipOperations.h"

namespace kestrum {

/// Exit statuses of kestrum-cli, and the status of each socket of a production run.
enum ExitStatus : int {
    ExitOk = 0,
    ExitDifferent = 1, ///< verify or blank check found a difference
    ExitUsage = 2, ///< bad arguments (the usage text was printed), or no single chip chosen
    ExitNoProgrammer = 3, ///< no programmer answered
    ExitNoChip = 4, ///< the socket is empty
    ExitFile = 5, ///< a file could not be loaded or saved, or the image is longer than the chip
    ExitFailed = ExitFile, ///< convert: the load showed an error, or the save failed
    ExitCommunication = 6, ///< the programmer did not answer as it must, or timed out
    ExitStopped = 130, ///< Ctrl+C ended the command (SIGHUP 129 and SIGTERM 143: 128 + the signal)
};

/// The reason column of the job log: why a chip failed; empty for one that passed.
const char* reasonOf(CommandOutcome outcome);

/// The status of a chip command that ended so (an image command refused on an empty buffer is a
/// file error); stoppedStatus for one that was stopped.
int exitStatusOf(CommandOutcome outcome, const DataBuffer& buffer, int stoppedStatus = ExitStopped);

} // namespace kestrum

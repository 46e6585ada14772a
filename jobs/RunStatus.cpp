#include "jobs/RunStatus.h"

namespace kestrum {

const char* reasonOf(CommandOutcome outcome)
{
    switch (outcome) {
    case CommandOutcome::Done:
        return "";
    case CommandOutcome::Refused:
        return "refused";
    case CommandOutcome::NoProgrammer:
        return "no programmer";
    case CommandOutcome::NoChip:
        return "no chip";
    case CommandOutcome::Declined:
        return "image larger than the chip";
    case CommandOutcome::WrongChip:
        return "another chip ID";
    case CommandOutcome::Different:
        return "verify difference";
    case CommandOutcome::Stopped:
        return "stopped";
    case CommandOutcome::NotBlank:
        return "chip not blank";
    case CommandOutcome::Failed:
        break;
    }
    return "communication failure";
}

int exitStatusOf(CommandOutcome outcome, const DataBuffer& buffer, int stoppedStatus)
{
    switch (outcome) {
    case CommandOutcome::Done:
        return ExitOk;
    case CommandOutcome::Refused:
        // An image command on an empty buffer: the file held nothing.
        return buffer.usedLength == 0 ? ExitFile : ExitUsage;
    case CommandOutcome::NoProgrammer:
        return ExitNoProgrammer;
    case CommandOutcome::NoChip:
    case CommandOutcome::WrongChip:
        return ExitNoChip;
    case CommandOutcome::Declined:
        return ExitFile;
    case CommandOutcome::Different:
    case CommandOutcome::NotBlank:
        return ExitDifferent;
    case CommandOutcome::Stopped:
        return stoppedStatus;
    case CommandOutcome::Failed:
        break;
    }
    return ExitCommunication;
}

} // namespace kestrum

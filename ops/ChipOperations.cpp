#include "ops/ChipOperations.h"

#include "buffer/Checksum.h"
#include "chipdb/ChipEditorModel.h"
#include "chipdb/ChipSelection.h"
#include "chipdb/NameTokens.h"

#include <algorithm>

namespace kestrum {

namespace {

/// Sets the busy flag for one command and clears it again, whatever way the command ends.
class BusyScope
{
public:
    explicit BusyScope(bool& busy)
        : m_busy(busy)
    {
        m_busy = true;
    }
    ~BusyScope() { m_busy = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& m_busy;
};

constexpr int AutoVerifyPauseMs = 350;

/// Identification bytes 1 to 3 of an identify reply all 0x00 or all 0xFF.
bool isStuckIdentification(const quint8 reply[4])
{
    const bool zeros = reply[1] == 0x00 && reply[2] == 0x00 && reply[3] == 0x00;
    const bool ones = reply[1] == 0xFF && reply[2] == 0xFF && reply[3] == 0xFF;
    return zeros || ones;
}

CommandOutcome outcomeOf(JobResult result)
{
    switch (result) {
    case JobResult::Done:
        return CommandOutcome::Done;
    case JobResult::Declined:
        return CommandOutcome::Declined;
    case JobResult::Different:
        return CommandOutcome::Different;
    case JobResult::Stopped:
        return CommandOutcome::Stopped;
    case JobResult::Failed:
        break;
    }
    return CommandOutcome::Failed;
}

/// The supply a record names, as the chip lists spell it ("3.3V").
QString voltageText(const ChipRecord& record)
{
    const QStringList volts = editorVoltageItems();
    return record.voltage < volts.size() ? volts[record.voltage] : QString();
}

/// True when the candidates do not all run on one supply: three ID bytes cannot tell them apart.
bool mixedSupply(const ChipTable& table, const std::vector<int>& candidates)
{
    return std::any_of(candidates.begin(), candidates.end(),
        [&](int slot) { return table[slot].voltage != table[candidates.front()].voltage; });
}

QString capacityText(std::uint32_t bytes)
{
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
    if (bytes >= 1024 && bytes % 1024 == 0)
        return QStringLiteral("%1 KiB").arg(bytes / 1024);
    return QStringLiteral("%1 B").arg(bytes);
}

} // namespace

QString formatElapsed(qint64 milliseconds)
{
    const qint64 seconds = std::max<qint64>(milliseconds, 0) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

ChipOperations::ChipOperations(UsbLink& usb, ChipProgrammer& programmer, Reporter& reporter, DataBuffer& buffer,
    JobView& view, OperationsHost& host)
    : m_usb(usb)
    , m_programmer(programmer)
    , m_reporter(reporter)
    , m_buffer(buffer)
    , m_view(view)
    , m_host(host)
{
}

bool ChipOperations::runExclusive(const std::function<void()>& f)
{
    if (holdsProgrammer())
        return false;
    auto finish = [this] {
        // A device change that came in meanwhile is looked at once, now that the link is free.
        if (m_probePending) {
            m_probePending = false;
            probeProgrammer();
        }
        if (onIdle)
            onIdle();
    };
    try {
        BusyScope scope(m_busy);
        // Until the command gets further, it was refused by its first checks.
        m_outcome = CommandOutcome::Refused;
        f();
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return true;
}

void ChipOperations::runChipCommand(const std::function<void()>& f)
{
    const Reporter::ErrorLogging logging(m_reporter, m_logErrorBoxes);
    try {
        runExclusive([&] {
            f();
            if (m_outcome == CommandOutcome::Stopped)
                m_reporter.addLogLine(MsgJobStopped);
        });
    } catch (const std::exception& e) {
        // The window shows what ended the command in a box; the log keeps it as well.
        if (m_logErrorBoxes)
            m_reporter.addLogLine(QString::fromLocal8Bit(e.what()));
        throw;
    }
}

void ChipOperations::probeProgrammer()
{
    // Opening the programmer now would take the handle from the running job.
    if (holdsProgrammer()) {
        m_probePending = true;
        return;
    }
    // The line tells of a connection, not of every look: it is written when the programmer was
    // not connected (or not yet looked for) at the probe before.
    const bool connected = m_programmer.openProgrammer();
    // With several programmers attached the link is pointed at one: the log and panel 1 name it,
    // and another choice is a new connection.
    const QString location = QString::fromLatin1(m_usb.location());
    if (connected) {
        if (m_probeConnected != true || location != m_probeLocation)
            m_reporter.addLogLine(location.isEmpty() ? m_reporter.message(MsgProgrammerFound)
                                                     : m_reporter.message(MsgProgrammerDetectedAt).arg(location));
        m_usb.close();
        m_view.setStatusText(
            location.isEmpty() ? m_reporter.message(MsgReady) : m_reporter.message(MsgReadyAt).arg(location));
    } else {
        m_view.setStatusText(m_reporter.message(MsgNotConnected));
    }
    m_probeConnected = connected;
    m_probeLocation = location;
}

bool ChipOperations::isSpiEeprom() const
{
    return m_host.currentRecord().chipClass == SpiEeprom25;
}

ChipOperations::Presence ChipOperations::checkChipPresent(IdMismatch mismatch)
{
    quint8 reply[4] = {0, 0, 0, 0};
    const Identification r = m_programmer.identifyChip(m_host.currentRecord(), m_host.speedIndex(), reply);
    if (r == Identification::Failed || r == Identification::Busy) {
        m_outcome = CommandOutcome::Failed;
        return Presence::Stop;
    }
    // An identification of all zeros or all ones is no chip either, as in detection.
    const bool nothing = reply[0] == ReplyNothing || (reply[0] == ReplySpiFlash && isStuckIdentification(reply));
    if (r != Identification::NoProgrammer && nothing) {
        m_reporter.showError(MsgNoChip);
        m_outcome = CommandOutcome::NoChip;
        return Presence::Stop;
    }
    // Without a programmer the command goes on, and the job start reports it.
    if (r == Identification::Done && !acceptIdentification(reply, mismatch))
        return Presence::Stop;
    return Presence::Present;
}

bool ChipOperations::acceptIdentification(const quint8 reply[4], IdMismatch mismatch)
{
    const ChipRecord& record = m_host.currentRecord();
    // Only a 25-series flash answers a JEDEC ID that its record can be compared with.
    if (mismatch == IdMismatch::Ignore || record.chipClass != SpiFlash25 || reply[0] != ReplySpiFlash
        || isStuckIdentification(reply))
        return true;
    const std::uint32_t id = (std::uint32_t(reply[1]) << 16) | (std::uint32_t(reply[2]) << 8) | reply[3];
    if (id == record.chipId)
        return true;
    const QString answered = QString::asprintf("%2.2X %2.2X %2.2X", reply[1], reply[2], reply[3]);
    const QString selected = QString::asprintf(
        "%2.2X %2.2X %2.2X", (record.chipId >> 16) & 0xFF, (record.chipId >> 8) & 0xFF, record.chipId & 0xFF);
    const QString name = NameTokens(record.namesText()).trimmedAt(2);
    // The chip that answered is offered by its name, or by its ID when several listed chips share it.
    const std::vector<int> candidates = listedFlashes(id);
    QString question = m_reporter.message(MsgChipIdMismatch).arg(answered, name, selected);
    QStringList captions;
    if (!candidates.empty()) {
        const QString detected = candidates.size() == 1
            ? NameTokens(m_host.chipTable()[candidates.front()].namesText()).trimmedAt(2)
            : answered;
        question += QLatin1Char('\n') + m_reporter.message(MsgDetectedChip).arg(detected);
        captions << m_reporter.message(MsgUseChip).arg(detected);
    }
    captions << m_reporter.message(MsgKeepChip).arg(name) << m_reporter.message(MsgButtonCancel);
    const int answer = m_reporter.ui().askButtons(question, captions);
    if (!candidates.empty() && answer == 0) {
        const std::optional<int> slot = chooseDetected(candidates, answered);
        if (slot) {
            selectSlot(*slot);
            return true;
        }
    } else if (answer == int(captions.size()) - 2) {
        return true;
    }
    m_reporter.addLogLine(m_reporter.message(MsgChipIdMismatchLog).arg(answered, name, selected));
    m_outcome = CommandOutcome::WrongChip;
    return false;
}

std::vector<int> ChipOperations::listedFlashes(std::uint32_t id) const
{
    // Only listed chips count: stale candidates after a reload and empty candidates are never
    // selected. The identification is a JEDEC ID, which only 25-series flash records carry; the ID
    // field of other classes means nothing to this lookup.
    const ChipTable& table = m_host.chipTable();
    std::vector<int> candidates;
    const int listed = table.listedCount();
    for (int i = 0; i < listed; ++i) {
        if (table[i].chipClass == SpiFlash25 && table[i].chipId == id)
            candidates.push_back(i);
    }
    return candidates;
}

std::optional<int> ChipOperations::chooseDetected(const std::vector<int>& candidates, const QString& idText)
{
    if (candidates.size() == 1)
        return candidates.front();
    // Where the chips need different supplies nothing is offered, not even the chip shown, unless
    // the user named it: the user picks by the marking. Else the chip shown is kept when it
    // answers this ID, or the first is offered.
    const ChipTable& table = m_host.chipTable();
    const int shown = m_host.selection().shownChip();
    const bool shownAnswers = std::find(candidates.begin(), candidates.end(), shown) != candidates.end();
    const bool mixed = mixedSupply(table, candidates);
    const int offered = shownAnswers && (!mixed || m_shownChipNamed) ? shown : mixed ? -1 : candidates.front();
    const std::optional<int> chosen = m_reporter.ui().chooseRow(chipChoice(candidates, offered, idText));
    if (!chosen || *chosen < 0 || *chosen >= int(candidates.size()))
        return std::nullopt;
    const int slot = candidates[size_t(*chosen)];
    if (mixed)
        logSupply(table[slot]);
    return slot;
}

void ChipOperations::selectSlot(int slot)
{
    const NameTokens tokens(m_host.chipTable()[slot].namesText());
    const QString type = tokens.trimmedAt(0);
    const QString maker = tokens.trimmedAt(1);
    const QString name = tokens.trimmedAt(2);
    // Each fill rebuilds the lists below the level it receives, so the three levels take turns.
    const ChipSelection& selection = m_host.selection();
    m_host.setSelectionIndices(selection.types().indexOfIgnoringCase(type), m_host.makerIndex(), m_host.nameIndex());
    m_host.selectByIndices(m_host.typeIndex(), m_host.makerIndex(), m_host.nameIndex());
    m_host.setSelectionIndices(m_host.typeIndex(), selection.makers().indexOfIgnoringCase(maker), m_host.nameIndex());
    m_host.selectByIndices(m_host.typeIndex(), m_host.makerIndex(), m_host.nameIndex());
    m_host.setSelectionIndices(m_host.typeIndex(), m_host.makerIndex(), selection.names().indexOfIgnoringCase(name));
    m_host.selectByIndices(m_host.typeIndex(), m_host.makerIndex(), m_host.nameIndex());
}

JobStart ChipOperations::runFrame(const std::function<void()>& chipPart)
{
    // A 1.8 V chip is damaged by the 3.3 V a wrong choice would give it: the log tells the supply.
    if (m_host.currentRecord().voltage == Volt18)
        logSupply(m_host.currentRecord());
    const JobStart start = m_programmer.beginJob(m_host.currentRecord(), m_host.speedIndex());
    if (start == JobStart::Busy)
        return start;
    if (jobOpened(start)) {
        try {
            chipPart();
        } catch (...) {
            // An error that escapes the routine (the hex view's reload running out of memory)
            // must not leave the link open and the window locked.
            m_programmer.endJob();
            throw;
        }
    }
    m_jobEnded = m_programmer.endJob();
    return start;
}

void ChipOperations::failOnLostEnd(JobResult& result)
{
    if (result != JobResult::Done || m_jobEnded)
        return;
    m_reporter.showError(MsgTransferFailed);
    result = JobResult::Failed;
}

bool ChipOperations::refuseEmptyBuffer()
{
    if (m_buffer.usedLength != 0)
        return false;
    m_reporter.showError(MsgBufferEmpty);
    return true;
}

void ChipOperations::startStopwatch()
{
    // A monotonic clock: a run across midnight shows its real length.
    m_stopwatch.start();
}

void ChipOperations::stopStopwatch()
{
    m_host.setElapsedText(formatElapsed(m_stopwatch.elapsed()));
    m_reporter.ui().beep();
}

bool ChipOperations::chipSelected()
{
    if (m_host.selection().shownChip() < 0) {
        m_reporter.showError(MsgNoChipSelected);
        return false;
    }
    if (const auto flaw = recordFlaw(m_host.currentRecord())) {
        m_reporter.showError(recordFlawText(*flaw, m_reporter.language()));
        return false;
    }
    return true;
}

bool ChipOperations::preconditionsMet(DataNeed data, Identify identify, IdMismatch mismatch)
{
    if (!chipSelected())
        return false;
    if (data == DataNeed::Image) {
        m_host.takeViewEdits();
        if (refuseEmptyBuffer())
            return false;
    }
    // A 25-series EEPROM answers no identify command that Read and Write could rely on.
    if (identify == Identify::ExceptSpiEeprom && isSpiEeprom())
        return true;
    return checkChipPresent(mismatch) == Presence::Present;
}

std::optional<JobResult> ChipOperations::runTimedRoutine(Routine routine, MessageKey doneLine, LineOrder order)
{
    return runTimedPart(
        [this, routine](const ChipRecord& record) { return (m_programmer.*routine)(record); }, doneLine, order);
}

std::optional<JobResult> ChipOperations::runTimedPart(const ChipPart& part, MessageKey doneLine, LineOrder order)
{
    std::optional<JobResult> result;
    const JobStart start = runFrame([&] {
        startStopwatch();
        result = part(m_host.currentRecord());
        // Read, Erase and Write show the time before their line; Verify and Blank check after it.
        if (order == LineOrder::BeforeTime && *result == JobResult::Done)
            m_reporter.addLogLine(doneLine);
        stopStopwatch();
        if (order == LineOrder::AfterTime && *result == JobResult::Done)
            m_reporter.addLogLine(doneLine);
    });
    // The programmer answered the open but not the set-up: the communication failure was shown.
    if (start == JobStart::SetupFailed)
        result = JobResult::Failed;
    if (order == LineOrder::AfterEnd && result) {
        failOnLostEnd(*result);
        if (*result == JobResult::Done)
            m_reporter.addLogLine(doneLine);
    }
    m_outcome = start == JobStart::NotOpened ? CommandOutcome::NoProgrammer
        : result                             ? outcomeOf(*result)
                                             : CommandOutcome::Failed;
    return result;
}

void ChipOperations::logChecksum(std::uint32_t length)
{
    const std::uint32_t crc = crc32(m_buffer.data(), length);
    m_reporter.addLogLine(m_reporter.message(MsgChecksumLog).arg(crc32Text(crc)).arg(length));
}

void ChipOperations::read()
{
    runChipCommand([this] {
        if (!preconditionsMet(DataNeed::None, Identify::ExceptSpiEeprom, IdMismatch::Ask))
            return;
        const auto r = runTimedPart(
            [this](const ChipRecord& record) { return readPart(record); }, MsgReadDone, LineOrder::AfterTime);
        // What was read is the whole chip, not only the used part up to its last programmed byte.
        if (r == JobResult::Done)
            logChecksum(std::min(m_host.currentRecord().flashSize, BufferCapacity));
        // Only a read that ran to its end can find the chip empty. Without a programmer "Not
        // connected" has been said; after a failed set-up or read the communication error has been
        // shown, and a read cut short holds only what arrived.
        // An empty chip is news, not a fault.
        if (r == JobResult::Done && m_buffer.usedLength == 0)
            m_reporter.ui().showInformation(m_reporter.message(MsgChipEmpty));
    });
}

void ChipOperations::erase()
{
    runChipCommand([this] {
        if (!preconditionsMet(DataNeed::None, Identify::Always, IdMismatch::Ask))
            return;
        runTimedPart(
            [this](const ChipRecord& record) {
                const JobResult backup = backUpChip(record);
                return backup == JobResult::Done ? m_programmer.eraseChip(record) : backup;
            },
            MsgEraseDone, LineOrder::AfterTime);
        dropChipCopy();
    });
}

void ChipOperations::write()
{
    runChipCommand([this] {
        if (!preconditionsMet(DataNeed::Image, Identify::ExceptSpiEeprom, IdMismatch::Ask))
            return;
        // The written span: the used length (grown to whole pages by the write), at most the chip.
        m_notBlankDeclined = false;
        const auto r = runTimedPart(
            [this](const ChipRecord& record) { return writePart(record); }, MsgWriteDone, LineOrder::AfterEnd);
        dropChipCopy();
        if (r == JobResult::Done)
            logChecksum(std::min(static_cast<std::uint32_t>(std::max<qint32>(m_buffer.usedLength, 0)),
                m_host.currentRecord().flashSize));
        if (m_notBlankDeclined && m_outcome == CommandOutcome::Declined)
            m_outcome = CommandOutcome::NotBlank;
    });
}

void ChipOperations::verify()
{
    runChipCommand([this] {
        if (preconditionsMet(DataNeed::Image, Identify::Always, IdMismatch::Ask))
            runTimedRoutine(&ChipProgrammer::verifyChip, MsgVerifyDone, LineOrder::BeforeTime);
    });
}

void ChipOperations::blankCheck()
{
    runChipCommand([this] {
        if (preconditionsMet(DataNeed::None, Identify::Always, IdMismatch::Ignore))
            runTimedRoutine(&ChipProgrammer::blankCheckChip, MsgBlankDone, LineOrder::BeforeTime);
    });
}

void ChipOperations::autoRun()
{
    runChipCommand([this] {
        if (!preconditionsMet(DataNeed::Image, Identify::Always, IdMismatch::Ask))
            return;
        JobResult result = JobResult::Done;
        bool verified = false;
        bool ranToItsEnd = false;
        const JobStart start = runFrame([this, &result, &verified, &ranToItsEnd] {
            const ChipRecord& record = m_host.currentRecord();
            startStopwatch();
            // A failed erase or write, or a declined write, ends the run: no time, beep or line. A
            // stopped step ends it too, and the time shows how long it ran.
            const auto step = [&](Routine routine) {
                // A stop that came with the last block of the step before ends the run here.
                result = m_programmer.stopRequested() ? JobResult::Stopped : (m_programmer.*routine)(record);
                if (result == JobResult::Stopped)
                    stopStopwatch();
                return result == JobResult::Done;
            };
            // The backup comes first: a failed or stopped backup read ends the run before the erase.
            result = backUpChip(record);
            if (result == JobResult::Stopped)
                stopStopwatch();
            if (result != JobResult::Done)
                return;
            if (m_host.autoErase() && !step(&ChipProgrammer::eraseChip))
                return;
            if (m_host.autoProgram() && !step(&ChipProgrammer::writeChip))
                return;
            if (m_host.autoVerify()) {
                if (!m_programmer.stopRequested())
                    m_usb.sleepMs(AutoVerifyPauseMs);
                if (!step(&ChipProgrammer::verifyChip) && result == JobResult::Stopped)
                    return;
                verified = result == JobResult::Done;
            }
            ranToItsEnd = true;
        });
        // The line and the time come once the end command went through too.
        if (ranToItsEnd) {
            failOnLostEnd(result);
            if (verified && result == JobResult::Done)
                m_reporter.addLogLine(MsgAutoPassed);
            stopStopwatch();
        }
        dropChipCopy();
        m_outcome = start == JobStart::NotOpened ? CommandOutcome::NoProgrammer
            : start == JobStart::SetupFailed     ? CommandOutcome::Failed
                                                 : outcomeOf(result);
    });
}

void ChipOperations::detect()
{
    runChipCommand([this] {
        // The identify command carries the selected chip's set-up, and the lookup needs the lists.
        if (!chipSelected())
            return;
        quint8 reply[4] = {0, 0, 0, 0};
        const Identification r = m_programmer.identifyChip(m_host.currentRecord(), m_host.speedIndex(), reply);
        if (r == Identification::NoProgrammer) {
            m_view.setStatusText(m_reporter.message(MsgNotConnected));
            m_reporter.showError(MsgNotConnected);
            m_reporter.addLogLine(MsgNotConnectedHint);
            m_outcome = CommandOutcome::NoProgrammer;
            return;
        }
        if (r != Identification::Done) {
            m_outcome = CommandOutcome::Failed;
            return;
        }
        // No chip answered unless the cases below find one; a kind alone leaves the choice open.
        m_outcome = CommandOutcome::NoChip;
        switch (reply[0]) {
        case ReplySpiFlash:
            // An identification of all zeros or all ones is a data line stuck low or high (or
            // floating): nothing in the socket answered.
            if (isStuckIdentification(reply)) {
                m_reporter.showError(MsgNoChip);
                return;
            }
            identifiedChip(reply);
            return;
        case ReplyI2cEeprom:
        case ReplyMicrowireEeprom: {
            // The kind's position in the type list (1 or 2): the database lists its types in this
            // order.
            const int position = reply[0] - 1;
            if (m_host.selection().types().selected() != position)
                m_host.selectByIndices(position, 0, 0);
            m_outcome = CommandOutcome::Refused;
            m_reporter.ui().showInformation(m_reporter.message(MsgChipTypeDetected) + m_host.selection().types().text()
                + m_reporter.message(MsgSelectManually));
            return;
        }
        default:
            m_reporter.showError(MsgNoChip);
            return;
        }
    });
}

void ChipOperations::chipChosen()
{
    // A job on the chip shown never asks when the chip answers its ID, so the warning comes when
    // the chip is chosen, once until another chip is.
    const int shown = m_host.selection().shownChip();
    if (shown == m_sharedSupplyTold)
        return;
    m_sharedSupplyTold = -1;
    if (shown < 0)
        return;
    const ChipRecord& record = m_host.chipTable()[shown];
    if (record.chipClass != SpiFlash25 || !mixedSupply(m_host.chipTable(), listedFlashes(record.chipId)))
        return;
    m_sharedSupplyTold = shown;
    const std::uint32_t id = record.chipId;
    m_reporter.addLogLine(
        m_reporter.message(MsgSharedSupplyId)
            .arg(NameTokens(record.namesText()).trimmedAt(2),
                QString::asprintf("%2.2X %2.2X %2.2X", (id >> 16) & 0xFF, (id >> 8) & 0xFF, id & 0xFF)));
}

void ChipOperations::logSupply(const ChipRecord& record)
{
    m_reporter.addLogLine(
        m_reporter.message(MsgSupplyLog).arg(NameTokens(record.namesText()).trimmedAt(2), voltageText(record)));
}

UserInterface::Choice ChipOperations::chipChoice(
    const std::vector<int>& candidates, int preselected, const QString& id) const
{
    const ChipTable& table = m_host.chipTable();
    const bool mixed = mixedSupply(table, candidates);
    UserInterface::Choice choice;
    choice.title = m_reporter.message(MsgChooserTitle);
    choice.text = m_reporter.message(MsgChooserText).arg(candidates.size()).arg(id);
    // Where a wrong row puts 3.3 V on a 1.8 V chip, the supply is read first and the marking decides.
    if (mixed)
        choice.text += m_reporter.message(MsgChooserMixedSupply);
    choice.columns = {
        m_reporter.message(MsgColumnMaker), m_reporter.message(MsgColumnName), m_reporter.message(MsgColumnCapacity)};
    if (mixed)
        choice.columns.prepend(m_reporter.message(MsgColumnVoltage));
    else
        choice.columns.append(m_reporter.message(MsgColumnVoltage));
    choice.accept = m_reporter.message(MsgButtonOk);
    choice.cancel = m_reporter.message(MsgButtonCancel);
    choice.preselected = -1;
    for (const int slot : candidates) {
        const ChipRecord& r = table[slot];
        const NameTokens tokens(r.namesText());
        QStringList row {tokens.trimmedAt(1), tokens.trimmedAt(2), capacityText(r.flashSize)};
        if (mixed)
            row.prepend(voltageText(r));
        else
            row.append(voltageText(r));
        choice.rows.push_back(row);
        if (slot == preselected)
            choice.preselected = int(choice.rows.size()) - 1;
    }
    return choice;
}

void ChipOperations::identifiedChip(const quint8 reply[4])
{
    const std::uint32_t id = (std::uint32_t(reply[1]) << 16) | (std::uint32_t(reply[2]) << 8) | reply[3];
    const QString idText = QString::asprintf("%2.2X %2.2X %2.2X", reply[1], reply[2], reply[3]);
    m_reporter.addLogLine(m_reporter.message(MsgChipIdLog).arg(idText));
    const std::vector<int> candidates = listedFlashes(id);
    if (candidates.empty()) {
        if (m_host.selection().types().selected() != 0)
            m_host.selectByIndices(0, 0, 0);
        m_reporter.showError(m_reporter.message(MsgChipIdNotListed) + idText + m_reporter.message(MsgChooseCompatible));
        m_outcome = CommandOutcome::Refused;
        return;
    }
    const std::optional<int> slot = chooseDetected(candidates, idText);
    if (!slot) {
        m_outcome = CommandOutcome::Refused;
        return;
    }
    selectSlot(*slot);
    m_outcome = CommandOutcome::Done;
    const ChipSelection& selection = m_host.selection();
    m_reporter.ui().showInformation(m_reporter.message(MsgChipDetected) + selection.names().text()
        + m_reporter.message(MsgChipTypeLine) + selection.types().text());
}

} // namespace kestrum
